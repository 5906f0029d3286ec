#include "core/package_contents.h"

namespace plim {

PackageContents package_contents{};

}  // namespace plim
