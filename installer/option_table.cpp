#include "installer/option_table.h"

#include <strings.h>

namespace plim {

namespace {

constexpr unsigned in(RunMode mode) { return 1U << static_cast<unsigned>(mode); }

constexpr unsigned kInstall = in(RunMode::kInstall);
constexpr unsigned kUpgrade = in(RunMode::kUpgrade);
constexpr unsigned kUninstall = in(RunMode::kUninstall);
constexpr unsigned kExtract = in(RunMode::kExtract);
constexpr unsigned kPackage = in(RunMode::kPackage);
constexpr unsigned kEvery = ~0U;

struct Row {
  OptionSpec scanned;  // as the scanner reads it
  unsigned modes;      // the modes whose second pass accepts it
};

// Install and upgrade also take the answers to their questions, so that a
// run can go without anyone at the terminal; the inspection modes only read
// the package. --help counts on the first pass alone.
const Row rows[] = {
    {{"netscape", 1, nullptr, 'n'}, kInstall},
    {{"prefix", 1, nullptr, 'p'}, kInstall | kPackage},
    {{"config", 1, nullptr, 'f'}, kInstall | kUpgrade | kUninstall | kPackage},
    {{"mozilla", 1, nullptr, 'n'}, kInstall},
    {{"license", 1, nullptr, 'L'}, kPackage},
    {{"extract", 1, nullptr, 'x'}, kExtract},
    {{"uninstall", 0, nullptr, 'u'}, kUninstall},
    {{"upgrade", 0, nullptr, 'U'}, kUpgrade | kExtract},
    {{"package", 0, nullptr, 'P'}, kPackage},
    {{"help", 0, nullptr, 'h'}, 0},
    {{"install", 0, nullptr, 'i'}, kInstall},
    {{"quiet", 0, nullptr, 'v'}, kEvery},
    {{"accept-license", 0, nullptr, 0}, kInstall | kUpgrade},
    {{"mime", 1, nullptr, 0}, kInstall | kUpgrade},
    {{"refresh", 1, nullptr, 0}, kInstall | kUpgrade},
    {{"list", 0, nullptr, 0}, in(RunMode::kList)},
    {{"info", 0, nullptr, 0}, in(RunMode::kInfo)},
    {{"check", 0, nullptr, 0}, in(RunMode::kCheck)},
};

std::vector<OptionSpec> rows_for(unsigned modes, bool every_row) {
  std::vector<OptionSpec> table;
  for (const Row& row : rows) {
    if (every_row || (row.modes & modes) != 0) table.push_back(row.scanned);
  }
  table.push_back({nullptr, 0, nullptr, 0});
  return table;
}

}  // namespace

RunMode choose_mode(const char* program_name, const ProfileConfig& config) {
  if (strcasecmp(program_name, "uninstall") == 0) return RunMode::kUninstall;
  if (strcasecmp(program_name, "package") == 0) return RunMode::kPackage;
  if (config.get_flag("uninstall", 0)) return RunMode::kUninstall;
  if (config.get_flag("package", 0)) return RunMode::kPackage;
  if (config.get_flag("list", 0)) return RunMode::kList;
  if (config.get_flag("info", 0)) return RunMode::kInfo;
  if (config.get_flag("check", 0)) return RunMode::kCheck;
  if (config.get_string("extract")) return RunMode::kExtract;
  if (config.get_flag("upgrade", 0)) return RunMode::kUpgrade;
  return RunMode::kInstall;
}

std::vector<OptionSpec> first_pass_options() { return rows_for(0, true); }

std::vector<OptionSpec> mode_options(RunMode mode) { return rows_for(in(mode), false); }

}  // namespace plim
