#include "core/browser_list.h"

BrowserList browser_list;
