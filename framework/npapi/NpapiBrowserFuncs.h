// Copying the browser's function table. A browser hands over a table of its
// own version and size: an entry is taken only when the table's `size` covers
// it (checked before the entry is read) and the table's version has it.
#pragma once

#include "NpapiInterface.h"

namespace FB {
namespace Npapi {

// Copies `size` and `version`, then the entries the source carries: geturl to
// reloadplugins, geturlnotify to setexception and construct at any version;
// the popup state entries from 16, enumerate from 18, pluginthreadasynccall
// from 19, the URL value and authentication entries from 21, the timers from
// 23. getJavaEnv and getJavaPeer are never taken. Entries not taken keep the
// destination's previous contents.
void copyBrowserFuncs(const NPNetscapeFuncs* source, NPNetscapeFuncs* destination);

}  // namespace Npapi
}  // namespace FB
