#include "package/package_contents.h"

PackageContents package_contents{};
