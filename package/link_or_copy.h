#pragma once

namespace plim {

// Makes `to` the same file as `from`: a hard link, or else (across file
// systems) a copy with the permission bits of `from`. Failures to read `from`
// are reported ("open", "fstat") and end the process with status 1.
void link_or_copy(const char* from, const char* to);

}  // namespace plim
