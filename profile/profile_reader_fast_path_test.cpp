// The reader's shortcuts: plain values taken straight from the block, and
// names found by their 16-byte keys. Each must give what the full rules give.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "profile/profile_reader.h"

namespace {

using namespace std::string_literals;

struct ReadResult {
  const std::string* value;  // of option "v" in the profile read, owned by the Store
  int line;                  // the line counter afterwards
  std::vector<std::string> messages;
};

// A store as a fresh object has it, read from text in blocks of block_size.
class Store {
 public:
  Store() {
    option_names_.intern_name("profile:");
    profile_names_.intern_name("global");
    profile_names_.intern_name("own");
  }

  ReadResult read(const std::string& text, std::size_t block_size) {
    ProfileStore store{option_names_, profile_names_, profiles_, messages_, &path_, 0};
    std::istringstream in(text);
    StreamByteSource source(in, block_size);
    int line = 1;
    read_profile_file(source, line, 1, store);
    ReadResult result{profiles_.get(1, option_names_.lookup_name("v")), line, {}};
    while (const char* message = messages_.pop_message()) result.messages.emplace_back(message);
    return result;
  }

 private:
  NameIndex option_names_;
  NameIndex profile_names_;
  ProfileTable profiles_;
  MessageQueue messages_;
  const std::string path_ = "f";
};

// Values at the edge of the plain case, each followed by a malformed line
// that must be reported with its right line number.
TEST(PlainValues, GiveWhatTheFullRulesGive) {
  struct Case {
    std::string text;  // after "v="
    std::string value;
  };
  const Case cases[] = {
      {"/usr/local/lib/plim/7\n", "/usr/local/lib/plim/7"},
      {"words with single spaces\n", "words with single spaces"},
      {"two  spaces\n", "two spaces"},
      {"trailing space \n", "trailing space"},
      {"tab\there\n", "tab here"},
      {"crlf\r\n", "crlf"},
      {"\n", ""},
      {"x#comment\n", "x"},
      {"x # comment\n", "x"},
      {"nul\0byte\n"s, "nulbyte"},
      {"odd\v\fbytes \xff\n", "odd\v\fbytes \xff"},
      {"one \\\ntwo\n", "one two"},
      {"'quoted  part'\n", "quoted  part"},
      {"a:b=c\n", "a:b=c"},
  };
  for (const Case& c : cases) {
    for (std::size_t block : {std::size_t{1}, std::size_t{7}, ByteSource::default_block_size}) {
      Store store;
      ReadResult result = store.read("v=" + c.text + "!bad\n", block);
      ASSERT_NE(result.value, nullptr) << c.text << " block " << block;
      EXPECT_EQ(*result.value, c.value) << "block " << block;
      int bad_line = 1 + static_cast<int>(std::count(c.text.begin(), c.text.end(), '\n'));
      std::string message =
          "f:Error in line " + std::to_string(bad_line) + " of profile 'own'\n\t--> !bad";
      EXPECT_EQ(result.messages, std::vector<std::string>{message}) << c.text << " block " << block;
    }
  }
}

TEST(PlainValues, LongLinesAndTheFileEndTakeTheFullRules) {
  std::string long_value(3 * 64 * 1024, 'x');
  long_value[100000] = ' ';
  Store store;
  ReadResult result = store.read("v=" + long_value + "\nw=1\n", ByteSource::default_block_size);
  ASSERT_NE(result.value, nullptr);
  EXPECT_EQ(*result.value, long_value);
  EXPECT_EQ(result.line, 3);

  // Without a line break at the end the value is stored all the same.
  Store other;
  ReadResult last = other.read("v=no line break", ByteSource::default_block_size);
  ASSERT_NE(last.value, nullptr);
  EXPECT_EQ(*last.value, "no line break");
  EXPECT_EQ(last.line, 1);
}

// Names of every length from 0 to 20 over an alphabet with the lowest and
// highest bytes, so that many share their first 8 or 16 bytes and differ in
// length or only in bytes past the key: the index must find and place each
// as a sorted list of the same names does.
TEST(NameKeys, AgreeWithSortedNamesAtEveryLength) {
  const std::string alphabet = "\0a\xff"s;
  std::mt19937 random(3);
  std::vector<std::string> entered;
  for (int n = 0; n < 600; ++n) {
    std::string name(random() % 21, 'a');
    // Mostly "a": long shared prefixes; other bytes now and then.
    for (char& c : name) c = random() % 4 == 0 ? alphabet[random() % 3] : 'a';
    entered.push_back(name);
  }
  NameIndex index;
  std::vector<std::string> sorted;
  std::vector<std::string> numbered;
  auto before = [](const std::string& a, const std::string& b) {
    return std::string_view(a) < std::string_view(b);
  };
  for (const std::string& name : entered) {
    auto place = std::lower_bound(sorted.begin(), sorted.end(), name, before);
    bool known = place != sorted.end() && *place == name;
    int expected = known ? static_cast<int>(std::find(numbered.begin(), numbered.end(), name) -
                                            numbered.begin())
                         : ~static_cast<int>(place - sorted.begin());
    ASSERT_EQ(index.lookup_name(name), expected) << name.size();
    if (!known) {
      sorted.insert(place, name);
      numbered.push_back(name);
    }
    index.intern_name(name);
  }
  ASSERT_EQ(index.count(), static_cast<int>(numbered.size()));
  for (std::size_t n = 0; n < numbered.size(); ++n) {
    EXPECT_EQ(index.lookup_name(numbered[n]), static_cast<int>(n));
  }
}

}  // namespace
