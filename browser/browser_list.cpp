#include "browser/browser_list.h"

BrowserList browser_list;
