#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "mime/account_groups.h"

namespace plim {

// Rewriting a mailcap or mime.types file in place: the file is moved aside
// to its backup name, a new file of the same name is written from the backup
// through a filter, the entries are appended, and the new file gets the
// previous one's permission bits, owner and group (a file created anew, those
// of its directory). The backup stays as the file was before the update.
//
// Root does this in directories other users own, so the whole rewrite runs
// with the file-system identity of the directory's owner (root's own only in
// root's directories), the backup is opened without following a link and
// must be a regular file, and the new file is created exclusively, without
// following a link: no link planted at either name, before or during the
// update, makes root read, create, truncate or chown anything elsewhere.
// A failed write or close puts the backup back under the file's name.

// What happens when there is no file to move aside.
enum class WhenMissing {
  kSkip,    // nothing; the update fails without a message
  kCreate,  // a new file holding the entries alone
};

struct RewriteRule {
  const char* backup_suffix;  // ".save", "~"
  WhenMissing when_missing;
  bool (*filter)(FILE* in, FILE* out);  // copies the backup into the new file
};

// Returns 0, or -1 after reporting why (except for a file skipped as missing);
// the file keeps its contents whenever the update fails. The owner's groups
// come from `accounts` when given, else from the databases.
int rewrite_file(const std::string& path, const RewriteRule& rule, std::string_view entries,
                 const AccountGroups* accounts = nullptr);

// Called, when set, between moving the file aside and opening the backup,
// with the identity the rewrite works as; tests stand in for another process
// racing the update with it.
extern void (*after_move_aside_for_testing)(const std::string& path);

}  // namespace plim
