#include "installer/pending_steps.h"

#include "core/console.h"

namespace {

void not_built(const char* step) { log_printf(stderr, "Pending:\t%s is not built yet\n", step); }

}  // namespace

void register_mime_types() { not_built("MIME registration"); }
