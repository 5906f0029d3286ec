#include <pwd.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "testing/test_support/profile_fixture.h"

namespace {

class ProfileConfigTest : public ProfileFilesTest {
 protected:
  // An object whose own profile "prog" holds v=<value>, for each value.
  ProfileConfigPtr with_value(const std::string& value) {
    write_file(system_file("prog"), "v='" + value + "'\n");
    ProfileConfigPtr config(ProfileConfig::create("prog"));
    EXPECT_EQ(config->get_string("v"), value);
    return config;
  }
};

TEST_F(ProfileConfigTest, GetFlag) {
  struct Case {
    const char* value;
    int with_default_5;
  };
  const Case cases[] = {
      {"TRUE", 1}, {"true", 1}, {"Tomorrow", 1}, {"", 0},  {"FALSE", 0}, {"foo", 0},
      {"12abc", 12}, {"0", 0},  {" 0", 0},       {"no", 5}, {"-", 5},     {"-3", -3},
      {"99999999999", 2147483647},
  };
  for (const Case& c : cases) {
    ProfileConfigPtr config = with_value(c.value);
    EXPECT_EQ(config->get_flag("v", 5), c.with_default_5) << "'" << c.value << "'";
    EXPECT_FALSE(config->has_messages());
  }
  ProfileConfigPtr config(ProfileConfig::create("prog"));
  EXPECT_EQ(config->get_flag("never-entered", 7), 7);
}

TEST_F(ProfileConfigTest, GetNumber) {
  struct Case {
    std::string value;
    int result;
    const char* message;  // nullptr: none
  };
  const Case cases[] = {
      {" +7 ", 7, nullptr},
      {"-12", -12, nullptr},
      {"   ", 0, nullptr},
      {"7x", 5, "'7x' is not a number"},
      {"", 5, "'' is not a number"},
      {"12345678901x", 5, "'1234567890' is not a number"},
      {"12345678901234", 2147483647, nullptr},  // saturates like get_flag
      {"x", 5, "'x' is not a number"},
  };
  for (const Case& c : cases) {
    ProfileConfigPtr config = with_value(c.value);
    EXPECT_EQ(config->get_number("v", 5), c.result) << "'" << c.value << "'";
    EXPECT_EQ(take_messages(*config),
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
  }
  ProfileConfigPtr config(ProfileConfig::create("prog"));
  EXPECT_EQ(config->get_number("missing", 9), 9);
  EXPECT_FALSE(config->has_messages());
}

TEST_F(ProfileConfigTest, CommandLineThenOwnProfileThenGlobal) {
  write_file(system_file("global"), "a=global\nb=global\nc=global\n");
  write_file(system_file("prog"), "b=own\nc=\n");
  ProfileConfigPtr config(ProfileConfig::create("/usr/bin/Prog"));
  EXPECT_EQ(config->profile_name(), "prog");
  const OptionSpec table[] = {{"a", 1, nullptr, 'a'}, {nullptr, 0, nullptr, 0}};
  const char* argv[] = {"prog", "-a", "cli"};
  config->parse_options(3, argv, table);
  EXPECT_STREQ(config->get_string("a"), "cli");
  EXPECT_STREQ(config->get_string("b"), "own");
  EXPECT_STREQ(config->get_string("c"), "");  // "" hides global
  EXPECT_EQ(config->get_string("d"), nullptr);
  EXPECT_EQ(config->resolve_value(-1), nullptr);

  ProfileConfigPtr clone(ProfileConfig::clone(config.get()));
  EXPECT_STREQ(clone->get_string("a"), "global");
  EXPECT_STREQ(clone->get_string("b"), "own");
  EXPECT_EQ(clone->argument_count(), 0);
  EXPECT_EQ(config->share_count(), 1);
  clone.reset();
  EXPECT_EQ(config->share_count(), 0);
  EXPECT_STREQ(config->get_string("a"), "cli");
  EXPECT_STREQ(config->get_string("b"), "own");
  ProfileConfig::destroy(nullptr);
}

TEST_F(ProfileConfigTest, CloneLoadsAreSharedAndSurviveTheClone) {
  write_file(system_file("extra"), "x=1\n");
  ProfileConfigPtr config(ProfileConfig::create("prog"));
  ProfileConfigPtr clone(ProfileConfig::clone(config.get()));
  EXPECT_TRUE(clone->select_profile("dir/extra"));
  EXPECT_STREQ(clone->get_string("x"), "1");
  clone.reset();
  EXPECT_TRUE(config->select_profile("extra"));
  EXPECT_STREQ(config->get_string("x"), "1");
}

TEST_F(ProfileConfigTest, SelectProfile) {
  write_file(system_file("prog"), "declared:\nnested: global\n");
  write_file(system_file("global"), "");
  ProfileConfigPtr config(ProfileConfig::create("prog"));
  EXPECT_FALSE(config->select_profile("nofile"));
  EXPECT_TRUE(config->select_profile("declared"));
  EXPECT_TRUE(config->select_profile("nested"));  // status copied from global
  EXPECT_EQ(config->profile_name(), "nested");
}

TEST_F(ProfileConfigTest, PersonalFileHidesSystemFileAndEachIsReadOnce) {
  write_file(system_file("prog"), "a=system\nb=system\n");
  write_file(personal_file("prog"), "a=personal\n");
  ProfileConfigPtr config(ProfileConfig::create("prog"));
  EXPECT_STREQ(config->get_string("a"), "personal");
  EXPECT_EQ(config->get_string("b"), nullptr);
  EXPECT_STREQ(config->file_path(), personal_file("prog").c_str());

  // Loading again, or through a clone, reads nothing: the changed file is not seen.
  write_file(personal_file("prog"), "a=changed\n");
  write_file(system_file("later"), "");
  int row = config->own_profile();
  ProfileConfigPtr clone(ProfileConfig::clone(config.get()));
  EXPECT_EQ(clone->load_profile("prog"), row);
  EXPECT_STREQ(config->get_string("a"), "personal");
  // A profile looked for without success is not looked for again either.
  EXPECT_EQ(config->load_profile("missing"), clone->load_profile("missing"));
  write_file(system_file("missing"), "m=1\n");
  EXPECT_FALSE(clone->select_profile("missing"));
}

TEST_F(ProfileConfigTest, CreateFromFileAndMergeFile) {
  write_file(system_file("plugin"), "a=system\n");
  std::string named = temp_.path() + "/named.conf";
  write_file(named, "a=named\nplugin:\nb=named\n!bad\n");
  ProfileConfigPtr config(ProfileConfig::create_from_file(named, "plugin"));
  EXPECT_EQ(config->profile_name(), "plugin");
  EXPECT_STREQ(config->get_string("b"), "named");  // status "default": header goes on
  EXPECT_EQ(take_messages(*config).size(), 1u);
  EXPECT_STREQ(config->profile_file_path("plugin", 1), system_file("plugin").c_str());
  EXPECT_STREQ(config->profile_file_path("", 0), personal_file("global").c_str());
  EXPECT_STREQ(config->profile_file_path("x", -1), home().c_str());
  EXPECT_EQ(config->file_path(), nullptr);

  ProfileConfigPtr missing(ProfileConfig::create_from_file(temp_.path() + "/none", "Plugin"));
  EXPECT_EQ(missing->profile_name(), "Plugin");
  EXPECT_FALSE(missing->has_messages());
  EXPECT_STREQ(missing->profile_value(missing->own_profile(), 0)->c_str(), "");

  std::string other = temp_.path() + "/other.conf";
  write_file(other, "c=merged\nextra:\nx=1\n?\n");
  ProfileConfigPtr merged(ProfileConfig::create("plugin"));
  merged->merge_file(other, "plugin");
  EXPECT_STREQ(merged->get_string("c"), "merged");
  EXPECT_EQ(merged->get_string("a"), nullptr);  // the row was replaced whole
  EXPECT_STREQ(merged->file_path(), other.c_str());
  EXPECT_EQ(take_messages(*merged).size(), 1u);
  EXPECT_TRUE(merged->select_profile("extra"));
  EXPECT_STREQ(merged->get_string("x"), "1");
}

TEST_F(ProfileConfigTest, SearchDirectoriesAreKeptOnceDetermined) {
  ProfileConfigPtr config(ProfileConfig::create("prog"));
  EXPECT_STREQ(config->profile_file_path("prog", -1), home().c_str());
  ScopedEnvironment other_home("HOME", "/elsewhere");
  ScopedEnvironment other_system("PLIM_CONFIG_DIR", "/elsewhere/");
  EXPECT_STREQ(config->profile_file_path("prog", -1), home().c_str());
  EXPECT_STREQ(config->profile_file_path("prog", 1), system_file("prog").c_str());
}

TEST_F(ProfileConfigTest, SystemDirectoryIsALiteralPrefix) {
  ScopedEnvironment bare("PLIM_CONFIG_DIR", temp_.path() + "/cfg");
  forget_search_directories_for_testing();
  write_file(temp_.path() + "/cfgplugin.conf", "a=1\n");
  ProfileConfigPtr config(ProfileConfig::create("plugin"));
  EXPECT_STREQ(config->get_string("a"), "1");
}

TEST_F(ProfileConfigTest, HomeFallsBackToPasswordEntry) {
  const passwd* entry = getpwuid(getuid());
  std::string expected = entry && entry->pw_dir[0] == '/' ? entry->pw_dir : "";
  for (std::optional<std::string> home : {std::optional<std::string>("relative/home"),
                                          std::optional<std::string>()}) {
    ScopedEnvironment variable("HOME", home);
    forget_search_directories_for_testing();
    ProfileConfigPtr config(ProfileConfig::create("prog"));
    const char* got = config->profile_file_path("prog", -1);
    EXPECT_EQ(got ? got : "", expected);
  }
}

TEST(SearchDirectoryRules, ChooseHomeAndSystemDirectory) {
  EXPECT_STREQ(choose_home_directory("/h", "/p"), "/h");
  EXPECT_STREQ(choose_home_directory("h", "/p"), "/p");
  EXPECT_STREQ(choose_home_directory(nullptr, "/p"), "/p");
  EXPECT_EQ(choose_home_directory("", "p"), nullptr);
  EXPECT_EQ(choose_home_directory(nullptr, nullptr), nullptr);
  EXPECT_STREQ(choose_system_directory("/opt/cfg"), "/opt/cfg");
  EXPECT_STREQ(choose_system_directory("cfg/"), "/etc/Plim/");
  EXPECT_STREQ(choose_system_directory(nullptr), "/etc/Plim/");
}

}  // namespace
