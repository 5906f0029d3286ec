#include "core/browser_list.h"

namespace plim {

BrowserEntry* find_browser(BrowserList& list, const struct stat& status) {
  for (BrowserEntry& entry : list)
    if (entry.is(status)) return &entry;
  return nullptr;
}

}  // namespace plim
