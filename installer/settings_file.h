#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "core/browser_list.h"
#include "core/package_contents.h"
#include "core/settings.h"

namespace plim {

// The installed-settings file: the profile "plugin" as an installation leaves
// it, read back by every later run (the uninstaller among them) to find the
// prefix and the browsers. Lines: prefix, netscape, mozilla, version, license.

// The lines record settings.prefix, the browsers of `browsers` (but those
// whose home was refused), in list order, and the package's version and
// licence.
// With a stream: prints the prefix and browser lines and an empty line to it
// (and the run log). With nullptr: replaces settings.settings_file by a fresh
// file holding all five lines, creating its directory (one level, 0755) when
// that is missing. A file that cannot be opened or written is reported on
// standard error and the run goes on; a partly written file is removed, so
// that no later run reads a truncated profile. Without a settings file (a
// user without home directory) nothing is written and nothing said.
void write_settings(const PackageContents& contents, const Settings& settings, const BrowserList& browsers,
                    FILE* stream);

// Writes the settings file's lines to `file` and closes it. Returns false,
// with errno telling why, when anything could not be written.
bool write_settings_lines(const PackageContents& contents, const Settings& settings,
                          const BrowserList& browsers, FILE* file);

// `value` between single quotes such that the profile reader reads it back
// exactly: a single quote becomes '\'' and a carriage return '\r'.
std::string quote_setting(std::string_view value);

// The licence's name once unpacked: the member name up to its last dot;
// nullopt for a name without a dot (or no licence at all).
std::optional<std::string> installed_license_name(const char* license_name);

}  // namespace plim
