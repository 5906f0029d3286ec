// Runs the profile cases in profile/testdata/*.case, each line through
// ProfileCaseInterpreter (testing/test_support/profile_case_interpreter.h,
// which lists the commands); PLIM_UPDATE_TESTDATA=1 rewrites their
// transcripts.
#include <algorithm>
#include <filesystem>

#include "testing/test_support/profile_case_interpreter.h"

namespace profile {

namespace {

namespace fs = std::filesystem;

class ProfileCases : public ProfileCaseInterpreter, public ::testing::WithParamInterface<std::string> {};

TEST_P(ProfileCases, TranscriptMatches) {
  check_transcript(GetParam(), [this](const std::string& line) { return run(line); });
}

std::vector<std::string> case_files() {
  std::vector<std::string> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(PLIM_SOURCE_DIR "/profile/testdata")) {
    if (entry.path().extension() == ".case") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

INSTANTIATE_TEST_SUITE_P(Data, ProfileCases, ::testing::ValuesIn(case_files()),
                         [](const auto& param_info) { return fs::path(param_info.param).stem().string(); });

}  // namespace

}  // namespace profile
