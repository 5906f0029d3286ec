#include "package/package_builder.h"

#include "testing/test_support/unit_test.h"

namespace plim {

// Building packages runs against real files in the whole-run cases
// (tests/cases/*-package-*); here, the words the builder accepts and the tar
// command of the settings form.
namespace {

TEST(PackageBuilderTest, VersionWordsAreNumbersFrom0To255) {
  expect_table("package/testdata/version_words.table", [](const std::vector<std::string>& f) {
    return std::string(is_version_word(f[0]) ? "accepted" : "refused");
  });
}

TEST(PackageBuilderTest, EpochIsACountOfSeconds) {
  for (auto [value, expected] : {std::pair{"0", true},
                                 {"1700000000", true},
                                 {"999999999999999999", true},
                                 {"9999999999999999999", false},
                                 {"", false},
                                 {"-1", false},
                                 {"1700000000 ", false},
                                 {"1.5", false},
                                 {"@1700000000", false}})
    EXPECT_EQ(is_epoch_seconds(value), expected) << "value \"" << value << "\"";
}

// The retry without the owner options drops the two words before the last,
// in both forms; the reproducible form has everything that makes the bytes
// depend on the tree alone.
TEST(PackageBuilderTest, ArchiveCommandOfBothForms) {
  std::string listing;
  for (std::optional<std::string> epoch :
       {std::optional<std::string>(), std::optional<std::string>("1700000000")}) {
    std::vector<std::string> argv = archive_command("license.txt", "/p/Fernhollow-Plim/NetscapePlugin",
                                                    "/tmp/plim-archive-abcdef", epoch);
    listing += epoch ? "with SOURCE_DATE_EPOCH=" + *epoch + ":\n" : "without SOURCE_DATE_EPOCH:\n";
    for (const std::string& word : argv) listing += "  " + word + "\n";
    argv.erase(argv.end() - 3, argv.end() - 1);
    listing += "  retried without:";
    for (const std::string& word : argv)
      if (word.starts_with("--owner") || word.starts_with("--group")) listing += " " + word;
    listing += " (none left)\n";
  }
  expect_golden(listing, "package/testdata/archive_command.out");
}

}  // namespace

}  // namespace plim
