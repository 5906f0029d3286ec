#include "installer/preset_answers.h"

#include "installer/screens.h"
#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

std::string shown(const std::optional<bool>& answer) { return !answer ? "none" : *answer ? "yes" : "no"; }

TEST(PresetAnswersTest, OnlyYesAndNoAreAnswers) {
  for (auto [value, expected] : {std::pair{"yes", "yes"},
                                 {"no", "no"},
                                 {"", "none"},
                                 {"y", "none"},
                                 {"Yes", "none"},
                                 {"NO", "none"},
                                 {"yes ", "none"},
                                 {"nope", "none"}})
    EXPECT_EQ(shown(parse_yes_no(value)), expected) << "value \"" << value << "\"";
}

// A preset answer is taken without asking and without reading standard
// input, which keeps the line for whatever reads next; without one the
// question is asked and reads it.
TEST(PresetAnswersTest, PresetAnswersReadNothing) {
  ScratchDir dir;
  write_file(dir / "clear", "#!/bin/sh\n", 0, 0755);
  ::setenv("PATH", (dir.path() + ":/usr/bin:/bin").c_str(), 1);
  const struct {
    std::optional<bool> preset;
    const char* input;
    const char* expected;
  } rows[] = {
      {true, "n\n", "yes, not asked, left n\n"},       {false, "y\n", "no, not asked, left y\n"},
      {true, "", "yes, not asked, left nothing"},      {std::nullopt, "y\nn\n", "yes, asked, left n\n"},
      {std::nullopt, "n\ny\n", "no, asked, left y\n"}, {std::nullopt, "", "no, asked, left nothing"},
  };
  const PackageContents contents{};  // the banner shows version 0.0.0.0
  for (const auto& row : rows) {
    Captured run = capture_in_child(
        [&] {
          bool answer = answer_yes_no(contents, row.preset, "mime", "Update? (y/n) ");
          std::optional<std::string> rest = read_line(stdin);
          std::fprintf(stderr, "%s, left %s", answer ? "yes" : "no", rest ? rest->c_str() : "nothing");
        },
        row.input);
    bool asked = run.out.find("Update? (y/n) ") != std::string::npos;
    std::string result = run.err;
    result.insert(result.find(','), asked ? ", asked" : ", not asked");
    EXPECT_EQ(result, row.expected) << "input \"" << row.input << "\"";
  }
}

}  // namespace

}  // namespace plim
