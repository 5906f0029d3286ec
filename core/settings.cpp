#include "core/settings.h"

Settings settings;
