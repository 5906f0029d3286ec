#pragma once

#include <optional>
#include <string_view>

#include "core/settings.h"
#include "package/extraction.h"

namespace plim {

// Answers given by option (--accept-license, --mime, --refresh), so that an
// installation can run without anyone at the terminal. A question without a
// preset answer is asked as always.

// "yes" gives true and "no" false; anything else none.
std::optional<bool> parse_yes_no(std::string_view value);

// The preset answer of the option `option` when there is one (noted in the
// run log), otherwise the answer to `question` asked with ask_yes_no.
bool answer_yes_no(const PackageContents& contents, const std::optional<bool>& preset, const char* option,
                   const char* question);

// Whether the licence is accepted. With --accept-license it is, without
// paging it or reading the terminal (standard output and the run log say
// so); otherwise the person presses Enter, reads the licence through the
// pager (written into `target` only while it is shown) and answers the acceptance
// question.
bool license_accepted(const PackageContents& contents, const Settings& settings, const MemberTarget& target);

}  // namespace plim
