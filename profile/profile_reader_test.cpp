#include <string>
#include <vector>

#include "profile/profile_reader.h"
#include "testing/test_support/profile_fixture.h"

namespace {

using namespace std::string_literals;

class ProfileReaderTest : public ProfileFilesTest {
 protected:
  void SetUp() override {
    ProfileFilesTest::SetUp();
    config_.reset(ProfileConfig::create("test"));
    take_messages(*config_);
    row_ = config_->own_profile();
  }

  // Reads text into the own profile; gives the line counter afterwards.
  int read(const std::string& text) {
    std::istringstream in(text);
    int line = 1;
    config_->read_profile_file(in, line, row_);
    return line;
  }

  std::optional<std::string> value(const std::string& name) { return value_in(*config_, row_, name); }
  int profile(const std::string& name) { return config_->profile_names().lookup_name(name); }
  std::string status(const std::string& name) {
    const std::string* status = config_->profile_value(profile(name), 0);
    return status ? *status : "(none)";
  }

  ProfileConfigPtr config_;
  int row_ = 0;
};

// The sample file: each line ends with a line break, the first has three
// trailing blanks, every backslash is one character.
const char sample_file[] =
    "prefix  =   /usr/local   \n"
    "a = x   y\n"
    "b = 'x   y'\n"
    "c = x \"  y\"\n"
    "d=b #note\n"
    "e=b#note\n"
    "f='b #note'\n"
    "g=\n"
    "h=one \\\n"
    "two\n"
    "i=\"x\\ty\"\n"
    "j=\\101\n"
    "k=\\1x\n"
    "l=\\41x\n"
    "my_profile:\n"
    "foo bar\n"
    "netscape: global nosuch\n";

TEST_F(ProfileReaderTest, SampleFileGivesTabledValuesAndMessages) {
  write_file(system_file("global"), "mozilla=/opt/mozilla\n");
  std::string path = temp_.path() + "/sample.conf";
  write_file(path, sample_file);
  forget_search_directories_for_testing();
  ProfileConfigPtr config(ProfileConfig::create_from_file(path, "sample"));
  int sample = config->own_profile();

  struct Expected {
    const char* name;
    std::string value;
  };
  const Expected values[] = {
      {"prefix", "/usr/local"}, {"a", "x y"},          {"b", "x   y"},  {"c", "x   y"},
      {"d", "b"},               {"e", "b"},            {"f", "b #note"}, {"g", ""},
      {"h", "one two"},         {"i", "x\ty"},         {"j", "A"},       {"k", "\001x"},
      {"l", "!x"},              {"profile:", "default"},
  };
  for (const Expected& expected : values) {
    EXPECT_EQ(value_in(*config, sample, expected.name), expected.value) << expected.name;
  }
  EXPECT_EQ(value_in(*config, sample, "two"), std::nullopt);
  EXPECT_EQ(value_in(*config, sample, "mozilla"), std::nullopt);

  int netscape = config->profile_names().lookup_name("netscape");
  ASSERT_GT(netscape, 0);
  EXPECT_EQ(value_in(*config, netscape, "mozilla"), "/opt/mozilla");
  EXPECT_EQ(value_in(*config, netscape, "profile:"), "read");
  EXPECT_EQ(value_in(*config, netscape, "prefix"), std::nullopt);
  EXPECT_EQ(take_messages(*config),
            (std::vector<std::string>{
                path + ":Error in line 15 of profile 'sample'\n\t--> Illegal profile name 'my_profile:'",
                path + ":Error in line 16 of profile 'sample'\n\t--> foobar",
                path + ":Error in line 17 of 'netscape'\n\t--> can not inherit unknown profile 'nosuch'",
            }));
}

TEST_F(ProfileReaderTest, EscapesAndQuotes) {
  struct Case {
    std::string line;
    std::string value;
  };
  const Case cases[] = {
      {"v=\\a\\b\\f\\n\\r\\t\\v\\q", "\a\b\f\r\t\vq"},  // \n adds nothing unquoted
      {"v=\"\\n\"", "\n"},
      {"v=\\0\\8\\9\\\"\\#\\\\", "089\"#\\"},
      {"v=\\377\\400\\1234", "\377" "\040" "0" "S4"},
      {"v=\\7\\77\\777", "\007" "\077" "\077" "7"},
      {"v=\\\r\\x", "\\x"},
      {"v='a\\n#\"'", "a\\n#\""},
      {"v=x  ''  y", "x  y"},
      {"v=\"a\" \t \"b\"", "a b"},
      {"v=  \t x \t", "x"},
      {"v=a\r", "a"},
      {"v='\r'", ""},
      {"v=\\ ", " "},
  };
  for (const Case& c : cases) {
    read(c.line + "\n");
    EXPECT_EQ(value("v"), c.value) << c.line;
  }
  EXPECT_FALSE(config_->has_messages());
}

TEST_F(ProfileReaderTest, LineNumbersCountEveryLineBreakOnce) {
  struct Case {
    std::string text;
    int message_line;
    int lines_after;
  };
  const Case cases[] = {
      {"a=1 # note\n!bad\n", 2, 3},
      {"sect:\n!bad\n", 2, 3},
      {"a='x\ny'\n!bad\n", 3, 4},
      {"a=x\\\ny\n!bad\n", 3, 4},
      {"a=\"\\\n\"\n!bad\n", 3, 4},
      {"\n\n# c\n  !bad\n", 4, 5},
      {"foo\n\nbar\n", 1, 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read(c.text), c.lines_after) << c.text;
    std::vector<std::string> messages = take_messages(*config_);
    ASSERT_EQ(messages.size(), 1u) << c.text;
    EXPECT_NE(messages[0].find("Error in line " + std::to_string(c.message_line) + " "),
              std::string::npos)
        << messages[0];
  }
}

TEST_F(ProfileReaderTest, EndOfFileCases) {
  struct Case {
    std::string text;
    std::optional<std::string> stored;
    std::vector<std::string> messages;
  };
  const std::string at = "(null):Error in line 1 of profile 'test'\n\t--> ";
  const Case cases[] = {
      {"v=abc", "abc", {}},
      {"v=abc  ", "abc", {}},
      {"v=abc\\", "abc", {}},
      {"v='ab", std::nullopt, {"v=ab"}},
      {"v=x\"a\\", std::nullopt, {"v=xa"}},
      {"v=  \t ", std::nullopt, {"v"}},
      {"v=", std::nullopt, {"v"}},
      {"v", std::nullopt, {}},
      {"v  \n ", std::nullopt, {}},
      {"!x 'y", std::nullopt, {}},
      {"!x", std::nullopt, {}},
      {"# comment", std::nullopt, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ProfileConfigPtr fresh(ProfileConfig::create("test"));
    take_messages(*fresh);
    fresh->profile_file_path("x", -1);  // leaves the file path none
    std::istringstream in(c.text);
    int line = 1;
    fresh->read_profile_file(in, line, fresh->own_profile());
    EXPECT_EQ(value_in(*fresh, fresh->own_profile(), "v"), c.stored);
    std::vector<std::string> expected;
    for (const std::string& text : c.messages) expected.push_back(at + text);
    EXPECT_EQ(take_messages(*fresh), expected);
  }
}

TEST_F(ProfileReaderTest, NulBytesAndCrlfLineEnds) {
  read("a=x\0y\r\n"s
       "b\0c = 'p\0q'\r\n"s
       "\r\n"
       "d = \"1\r\n2\"\r\n"
       "s:\0 \r\n"s
       "e=\\1\0"s "1\r\n");
  EXPECT_EQ(value("a"), "xy");
  EXPECT_EQ(value("bc"), "pq");
  EXPECT_EQ(value("d"), "1\n2");
  EXPECT_EQ(value_in(*config_, profile("s"), "e"), "\t");
  EXPECT_FALSE(config_->has_messages());
  // Between entries a NUL begins a malformed entry; "%s" stops at it.
  read("\0rest\n"s);
  std::vector<std::string> messages = take_messages(*config_);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].substr(messages[0].size() - 5), "\t--> ");
}

TEST_F(ProfileReaderTest, AnyLengthIsReadWhole) {
  const std::string long_name = "n" + std::string(1 << 20, 'x');
  const std::string long_value(1 << 20, 'v');
  const std::string long_parents(1 << 20, ' ');
  read(long_name + "=" + long_value + "\n" + "big:" + long_parents + "test\nw='" + long_value +
       "'\n");
  // Compared as booleans: a failure must not print megabytes.
  EXPECT_TRUE(value(long_name) == long_value);
  EXPECT_TRUE(value_in(*config_, profile("big"), long_name) == long_value);
  std::optional<std::string> quoted = value_in(*config_, profile("big"), "w");
  ASSERT_TRUE(quoted);
  EXPECT_EQ(quoted->size(), long_value.size());
  EXPECT_EQ(quoted->find_first_not_of('v'), std::string::npos);
  EXPECT_FALSE(config_->has_messages());
}

TEST_F(ProfileReaderTest, SectionHeadersInheritAndEndReading) {
  read("x=1\n"
       "y=\n"
       "child: test nosuch test child\n"
       "y=2\n"
       "later: child\n"
       "self: self\n"
       "z=3\n"
       "self: self\n"
       "z=4\n");
  EXPECT_EQ(value_in(*config_, profile("child"), "x"), "1");
  EXPECT_EQ(value_in(*config_, profile("child"), "y"), "2");
  EXPECT_EQ(value("y"), "");  // the copy was taken at the header
  // The own profile had no file: its empty status is copied with its values.
  EXPECT_EQ(status("child"), "");
  EXPECT_EQ(status("later"), "");
  EXPECT_EQ(value_in(*config_, profile("later"), "y"), "2");
  // self was read; its second header ends reading, so z stays 3.
  EXPECT_EQ(status("self"), "read");
  EXPECT_EQ(value_in(*config_, profile("self"), "z"), "3");
  EXPECT_EQ(take_messages(*config_),
            (std::vector<std::string>{
                system_file("test") +
                ":Error in line 3 of 'child'\n\t--> can not inherit unknown profile 'nosuch'"}));
}

TEST_F(ProfileReaderTest, GlobalHeaderNeverEndsReadingAndLastHeaderLineEnds) {
  read("global:\nx=1\nglobal:\ny=2\nend: global");
  EXPECT_EQ(value_in(*config_, 0, "x"), "1");
  EXPECT_EQ(value_in(*config_, 0, "y"), "2");
  EXPECT_EQ(status("end"), "read");
  EXPECT_EQ(status("global"), "read");
}

}  // namespace

namespace {

// Reads text with the given block size into a fresh store; gives every value
// of every row and every message as one text.
std::string read_with_block_size(const std::string& text, std::size_t block_size) {
  NameIndex option_names;
  NameIndex profile_names;
  ProfileTable profiles;
  MessageQueue messages;
  const std::string path = "f";
  option_names.intern_name("profile:");
  profile_names.intern_name("global");
  profile_names.intern_name("own");
  ProfileStore store{option_names, profile_names, profiles, messages, &path, 0};
  std::istringstream in(text);
  StreamByteSource source(in, block_size);
  int line = 1;
  read_profile_file(source, line, 1, store);
  std::string dump = "lines " + std::to_string(line) + "\n";
  for (int row = 0; row < profiles.row_count(); ++row) {
    for (int column = 0; column < profiles.row(row).count(); ++column) {
      if (const std::string* value = profiles.get(row, column)) {
        dump += std::to_string(row) + " " + option_names.name_at(column) + "=[" + *value + "]\n";
      }
    }
  }
  while (const char* message = messages.pop_message()) dump += std::string(message) + "\n";
  return dump;
}

TEST(ProfileReaderBlocks, BlockBoundariesDoNotChangeTheResult) {
  using namespace std::string_literals;
  const std::string texts[] = {
      sample_file,
      "v=\\a\\b\\n\\1234\\77x 'q  \\n' \"d\\\"\\\n\\t\"  #c\nw = a\\\r\nb\n"s,
      "s: own nosuch\n\0x\0=\0'a\0b'\0\r\n n\0ame \n = 1\n!bad 'x\n y'\n"s,
      "global:\ng=1\nt: global\nt:\nu=2\n",
      "e=\\",
      "q='open",
  };
  for (const std::string& text : texts) {
    std::string whole = read_with_block_size(text, ByteSource::default_block_size);
    for (std::size_t block : {1, 2, 3, 7}) {
      EXPECT_EQ(read_with_block_size(text, block), whole) << "block " << block << ":\n" << text;
    }
  }
}

}  // namespace
