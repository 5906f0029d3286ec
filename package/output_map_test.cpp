#include "package/output_map.h"
#include "package/output_file.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "testing/test_support/unit_test.h"

namespace plim {

// A directory the user cannot write and the full disk run in the sandbox:
// tests/cases/alice-output-* and root-output-*.
namespace {

namespace fs = std::filesystem;

// Makes `name` of `length` bytes filled with "abc...z" repeated, and says
// whether the file then holds exactly that.
void replace(const std::string& name, std::uint32_t length, mode_t mode) {
  ::umask(022);
  OutputMap map = create_output_map(name, length, mode);
  std::string pattern(length, '\0');
  for (std::uint32_t i = 0; i < length; ++i) pattern[i] = char('a' + i % 26);
  std::memcpy(map.address(), pattern.data(), map.length());
  close_output_map(map);
  std::printf("%s holds the pattern: %s\n", fs::path(name).filename().c_str(),
              read_file(name) == pattern ? "yes" : "no");
}

// Every step over a previous file, and what each leaves: testdata/output_map.out.
TEST(CreateOutputMap, Transcript) {
  ScratchDir dir;
  std::string t;
  // Lengths around the 512-byte touch stride, a page and more.
  for (std::uint32_t length : {1u, 511u, 512u, 16384u, 16385u, 40000u}) {
    write_file(dir / "out", "previous");
    t += run_step(
        "length " + std::to_string(length), [&] { replace(dir / "out", length, 0777); }, dir.path());
  }
  fs::remove(dir / "out");
  write_file(dir / "target", "not ours");
  fs::create_symlink(dir / "target", dir / "link~");
  fs::create_directory(dir / "dir~");
  write_file(dir / "file~", "old backup");
  for (const char* name : {"link", "dir", "file"}) write_file(dir / name, "previous");
  t += run_step(
      "old backups of every kind",
      [&] {
        for (const char* name : {"link", "dir", "file"}) replace(dir / name, 3, 0644);
      },
      dir.path());

  fs::create_directories(dir / "out~/full");
  write_file(dir / "out", "previous");
  t += run_step(
      "no such directory", [&] { create_output_map(dir / "no-such-dir/out", 10, 0644); }, dir.path());
  t += run_step(
      "a backup that cannot be cleared", [&] { create_output_map(dir / "out", 10, 0644); }, dir.path());
  fs::remove_all(dir / "out~");
  t += run_step(
      "no room for a mapping", [&] { create_output_map(dir / "out", 0, 0644); }, dir.path());
  t += run_step(
      "no room, no previous file", [&] { create_output_map(dir / "new", 0, 0644); }, dir.path());
  // The temporary copies of extraction: a file under the name, or under its
  // backup name, is not ours to move or remove.
  write_file(dir / "out~", "the user's backup");
  t += run_step(
      "refusing", [&] { create_output_file(dir / "out", 10, 0644, ExistingFile::kRefuse); }, dir.path());
  expect_golden(t, "package/testdata/output_map.out");
}

}  // namespace

}  // namespace plim
