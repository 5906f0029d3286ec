#include "installer/preset_answers.h"

#include "core/run_log.h"
#include "installer/screens.h"

namespace plim {

std::optional<bool> parse_yes_no(std::string_view value) {
  if (value == "yes") return true;
  if (value == "no") return false;
  return std::nullopt;
}

bool answer_yes_no(const PackageContents& contents, const std::optional<bool>& preset, const char* option,
                   const char* question) {
  if (!preset) return ask_yes_no(contents, question);
  // The log of an unattended run shows what was decided, and by what.
  log_printf(nullptr, "Answer:\t--%s=%s\n", option, *preset ? "yes" : "no");
  return *preset;
}

bool license_accepted(const PackageContents& contents, const Settings& settings, const MemberTarget& target) {
  if (settings.accept_license) {
    log_line("Accept:\tLicense, by option --accept-license");
    return true;
  }
  wait_for_enter("Please press Enter to view the license Agreement ...");
  show_license(contents, target);
  return ask_yes_no(contents, "Do you accept the Plim(tm) Plugin license agreement? (y/n) ");
}

}  // namespace plim
