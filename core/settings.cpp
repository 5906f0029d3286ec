#include "core/settings.h"

namespace plim {

Settings settings;

}  // namespace plim
