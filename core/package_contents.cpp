#include "core/package_contents.h"

PackageContents package_contents{};
