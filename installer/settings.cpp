#include "installer/settings.h"

Settings settings;
