#include "installer/pending_steps.h"

#include "core/console.h"

namespace {

void not_built(const char* step) { log_printf(stderr, "Pending:\t%s is not built yet\n", step); }

}  // namespace

int uninstall_plugin() {
  not_built("uninstall");
  return 0;
}
void create_browser_links() { not_built("plug-in links"); }
void refresh_running_browsers() { not_built("browser refresh"); }
void register_mime_types() { not_built("MIME registration"); }
