#include <map>
#include <string>
#include <vector>

#include "testing/test_support/profile_fixture.h"

namespace {

struct CommandLine {
  std::vector<std::string> words;
  std::map<std::string, std::string> stored;
  int result;
  std::vector<std::string> messages;
};

class OptionParsingTest : public ProfileFilesTest {
 protected:
  // Scans words (the program's name first) into a fresh object.
  ProfileConfigPtr scan(const std::vector<std::string>& words, const OptionSpec* options, int* result) {
    ProfileConfigPtr config(ProfileConfig::create("prog"));
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    *result = config->parse_options(static_cast<int>(argv.size()), argv.data(), options);
    return config;
  }

  // Scans each line and checks its result, the values of `names`, the
  // messages and the kept argument copy.
  void check(const std::vector<CommandLine>& lines, const OptionSpec* options,
             std::initializer_list<const char*> names) {
    int number = 0;
    for (const CommandLine& line : lines) {
      SCOPED_TRACE("line " + std::to_string(++number));
      int result = 0;
      ProfileConfigPtr config = scan(line.words, options, &result);
      EXPECT_EQ(result, line.result);
      EXPECT_EQ(config->first_operand(), line.result);
      for (const char* name : names) {
        auto expected = line.stored.find(name);
        const char* got = config->get_string(name);
        EXPECT_EQ(got ? std::optional<std::string>(got) : std::nullopt,
                  expected == line.stored.end() ? std::nullopt : std::optional<std::string>(expected->second))
            << name;
      }
      EXPECT_EQ(take_messages(*config), line.messages);
      ASSERT_EQ(config->argument_count(), static_cast<int>(line.words.size()));
      EXPECT_STREQ(config->argument(config->argument_count() - 1), line.words.back().c_str());
    }
  }
};

TEST_F(OptionParsingTest, SampleCommandLines) {
  const OptionSpec prefix_and_quiet[] = {{"prefix", 1, nullptr, 'p'}, {"quiet", 0, nullptr, 'v'}, {nullptr, 0, nullptr, 0}};
  check({
            {{"prog", "--prefix=/opt"}, {{"prefix", "/opt"}}, 2, {}},
            {{"prog", "--prefix", "/opt"}, {{"prefix", "/opt"}}, 3, {}},
            {{"prog", "-p/opt"}, {{"prefix", "/opt"}}, 2, {}},
            {{"prog", "-p", "/opt"}, {{"prefix", "/opt"}}, 3, {}},
            {{"prog", "--quiet"}, {{"quiet", "TRUE"}}, 2, {}},
            {{"prog", "-v"}, {{"quiet", "TRUE"}}, 2, {}},
            {{"prog", "--quiet=yes"}, {{"quiet", "TRUE"}}, 2, {}},
            {{"prog", "--prefix="}, {{"prefix", ""}}, 2, {}},
            {{"prog", "--pre"}, {}, 1, {"Unrecognized option '--pre'"}},
            {{"prog", "-vp", "/opt"}, {{"quiet", "TRUE"}, {"prefix", "/opt"}}, 3, {}},
            {{"prog", "-pv"}, {{"prefix", "v"}}, 2, {}},
            {{"prog", "--prefix", "--quiet"}, {{"prefix", "--quiet"}}, 3, {}},
            {{"prog", "-x"}, {}, 1, {"Unrecognized option -x"}},
            {{"prog", "foo", "--quiet"}, {}, 1, {}},
            {{"prog", "--", "--quiet"}, {}, 2, {}},
            {{"prog", "-", "--quiet"}, {}, 1, {}},
            {{"prog", "-p"}, {}, 2, {"Argument required for --prefix option"}},
            {{"prog", "--prefix"}, {{"prefix", "TRUE"}}, 2, {}},
            {{"prog", "--prefix=/a", "-p", "/b"}, {{"prefix", "/b"}}, 4, {}},
        },
        prefix_and_quiet, {"prefix", "quiet"});
}

TEST_F(OptionParsingTest, OptionalAndLetterValuedKindsAndEmptyNames) {
  const OptionSpec table[] = {
      {"level", 2, nullptr, 'l'}, {"width", 3, nullptr, 'w'}, {"", 0, nullptr, 'e'},
      {"plain", 0, nullptr, 300}, {"dash", 0, nullptr, '-'},  {nullptr, 0, nullptr, 0},
  };
  check({
            {{"prog", "--level"}, {{"level", "TRUE"}}, 2, {}},
            {{"prog", "-l"}, {{"level", "TRUE"}}, 2, {}},
            {{"prog", "-l", "-x"}, {{"level", "-x"}}, 3, {}},
            {{"prog", "-w80"}, {{"width", "w80"}}, 2, {}},
            {{"prog", "-ew"}, {{"width", "w"}}, 2, {}},
            {{"prog", "--width"}, {{"width", "TRUE"}}, 2, {}},
            {{"prog", "--plain", "x"}, {{"plain", "TRUE"}}, 2, {}},
            {{"prog", "-e-"}, {}, 1, {"Unrecognized option --"}},
            {{"prog", "--" + std::string(2000, 'z')}, {}, 1, {"Unrecognized option '--" + std::string(1022, 'z') + "'"}},
        },
        table, {"level", "width", "plain", "dash"});
}

TEST_F(OptionParsingTest, FirstGivenPicksFirstRowAndReportsConflicts) {
  write_file(system_file("global"), "upgrade=1\nextract=/x\n");
  write_file(system_file("prog"), "uninstall=false\npackage=0\n");
  int result = 0;
  const OptionSpec table[] = {{"install", 0, nullptr, 'i'}, {"package", 0, nullptr, 'P'},
                              {nullptr, 0, nullptr, 0}};
  ProfileConfigPtr config = scan({"prog", "-iP"}, table, &result);
  const char* modes[] = {"extract", "uninstall", "package", "upgrade", "install", "nosuch", nullptr};
  // The command line sets package and install: package wins, install conflicts.
  EXPECT_EQ(config->first_given(modes, false), 2);
  EXPECT_EQ(take_messages(*config),
            (std::vector<std::string>{"Ambiguous options: 'package=TRUE' and 'install=TRUE' specified."}));

  ProfileConfigPtr clone(ProfileConfig::clone(config.get()));
  // Own profile: uninstall and package are set (any value counts).
  EXPECT_EQ(clone->first_given(modes, false), 1);
  EXPECT_EQ(take_messages(*clone).size(), 1u);
  // Requiring truth skips both; global's extract is not true, upgrade is.
  EXPECT_EQ(clone->first_given(modes, true), 3);
  EXPECT_FALSE(clone->has_messages());

  int upgrade = clone->option_names().lookup_name("upgrade");
  int extract = clone->option_names().lookup_name("extract");
  const int until_negative[] = {upgrade, upgrade, -1, extract};
  EXPECT_EQ(clone->first_given_until_negative(until_negative, false), 0);
  EXPECT_FALSE(clone->has_messages());  // the same column twice is no conflict
  const int counted[] = {-5, extract};
  EXPECT_EQ(clone->first_given(std::span<const int>(counted), false), 1);
  const char* none[] = {"nosuch", nullptr};
  EXPECT_EQ(clone->first_given(none, false), -1);
}

}  // namespace
