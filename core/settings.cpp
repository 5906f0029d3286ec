#include "core/run_settings.h"

namespace plim {

Settings settings;

}  // namespace plim
