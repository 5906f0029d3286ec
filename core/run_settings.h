#pragma once

#include "core/settings.h"

namespace plim {

// The run's settings as one shared record, for the steps not yet given them
// as a parameter.
extern Settings settings;

}  // namespace plim
