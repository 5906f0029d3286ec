#include "package/package_builder.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/child_process.h"
#include "core/run_log.h"
#include "core/package_contents.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/system_error.h"
#include "core/unique_fd.h"
#include "package/build_usage.h"
#include "package/extraction.h"
#include "package/mapped_file.h"
#include "package/output_file.h"
#include "package/self_inspection.h"

namespace {

constexpr mode_t kPackageMode = 0755;
constexpr char kArchiveName[] = "Plim.tar.gz";

// The member names live as long as the run, like the rest of package_contents.
std::string license_member_name;
std::string archive_member_name;
// Open descriptors of the files behind the members' mappings where there are
// any, so that the package gets their bytes by a copy inside the kernel.
UniqueFd license_source;
UniqueFd archive_source;

void set_version(unsigned major, unsigned minor, unsigned patch, unsigned delta) {
  PackageTrailer& t = package_contents.trailer;
  t.major = std::uint8_t(major);
  t.minor = std::uint8_t(minor);
  t.patch = std::uint8_t(patch);
  t.delta = std::uint8_t(delta);
  t.reserved[0] = t.reserved[1] = 0;
}

// The mappings stay until the process ends: package_contents points into them.
void use_members(MappedFile license, MappedFile archive) {
  package_contents.trailer.set_license_length(license.length());
  package_contents.trailer.set_archive_length(archive.length());
  package_contents.license_data = license.release();
  package_contents.archive_data = archive.release();
  package_contents.license_name = license_member_name.c_str();
  package_contents.archive_name = archive_member_name.c_str();
}

// map_file, keeping the descriptor open in `source`.
MappedFile map_member(const char* path, UniqueFd& source) {
  source.reset(::open(path, O_RDONLY | O_CLOEXEC));
  if (!source) exit_on_system_error("open");
  return map_descriptor(source.get());
}

int build_from_arguments(const PackageArguments& arguments, const char* program_path) {
  const std::uint8_t* v = arguments.version;
  set_version(v[0], v[1], v[2], v[3]);
  MappedFile license = map_member(arguments.license_path, license_source);
  MappedFile archive = map_member(arguments.archive_path, archive_source);
  license_member_name = arguments.license_name;
  archive_member_name = arguments.archive_name;
  use_members(std::move(license), std::move(archive));
  return write_package(program_path);
}

// "3.2.5.3" gives 3 2 5 3, "3.2 beta 1" gives 3 2 0 1, "3.2" gives 3 2 0 0.
void set_version_from_text(const char* version) {
  unsigned n[4] = {0, 0, 0, 0};
  std::sscanf(version, "%u.%u.%u.%u", &n[0], &n[1], &n[2], &n[3]);
  std::sscanf(version, "%u.%u beta %u", &n[0], &n[1], &n[3]);
  set_version(n[0], n[1], n[2], n[3]);
}

void print_execute_line(const std::vector<std::string>& argv) {
  log_puts("Execute:\t", stdout);
  for (const std::string& word : argv) log_printf(stdout, "%s ", word.c_str());
  log_puts("\n", stdout);
}

// The licence text compressed into an anonymous temporary file; false after
// reporting a failure.
bool compress_license(const std::string& license_path, MappedFile& compressed) {
  FILE* temporary = std::tmpfile();
  if (!temporary) {
    report_system_error("tmpfile()");
    return false;
  }
  ChildSpec gzip;
  gzip.argv = {"gzip", "-9", "-c", license_path};
  gzip.stdout_fd = ::fileno(temporary);
  gzip.exec_failure_format = "Error:\tFailed to execute %s\n";
  gzip.exec_failure_to_run_log = true;
  log_printf(stdout, "Execute:\t%s %s %s\n", "gzip", "-9", "-c");
  if (report_child_failure("gzip", run_child(gzip))) {
    std::fclose(temporary);
    return false;
  }
  compressed = map_stream(temporary);
  return true;
}

// The temporary archive is created by us, mode 0600, under a name nobody
// could know in advance, so that tar (perhaps running as root) never writes
// through a link someone planted under a predictable name. The descriptor
// stays open, so that the file can be read after its name is gone, and is
// closed on exec: tar and its gzip reach the file by its name, and a child
// holding it would keep the file alive after we are done with it.
bool make_temporary_file(std::string& name, UniqueFd& fd) {
  const char* dir = std::getenv("TMPDIR");
  name = std::string(dir && *dir ? dir : "/tmp") + "/plim-archive-XXXXXX";
  fd.reset(::mkostemp(name.data(), O_CLOEXEC));
  if (!fd) {
    report_system_error("mkostemp");
    return false;
  }
  return true;
}

// The installed tree (without the licence text, the uninstaller copy and NFS
// leftovers) as a gzip tar archive, members recorded as root:root unless the
// local tar rejects that; false after reporting a failure.
bool archive_tree(const std::string& license_text_name, MappedFile& archive) {
  std::string temporary;
  UniqueFd& temporary_fd = archive_source;
  if (!make_temporary_file(temporary, temporary_fd)) return false;
  ChildSpec tar;
  tar.argv = {"tar", "--exclude=" + license_text_name, "-C", *settings.install_dir + "/",
              "--exclude=uninstall", "--exclude=.nfs*", "-f", temporary, "--create", "--gzip",
              "-vv", "--owner=root", "--group=root", "."};
  tar.exec_failure_to_run_log = true;
  for (bool first_run = true;; first_run = false) {
    print_execute_line(tar.argv);
    int status = run_child(tar);
    if (first_run && WIFEXITED(status) && WEXITSTATUS(status) != 0) {
      tar.argv.erase(tar.argv.end() - 3, tar.argv.end() - 1);
      log_puts("Retry:\tSecond attempt to build archive.\n", stderr);
      continue;
    }
    if (report_child_failure("tar", status)) {
      ::unlink(temporary.c_str());
      return false;
    }
    break;
  }
  // tar wrote through the name into the file we hold open. The name goes
  // before the mapping, which ends the process when it fails (an archive
  // of length zero), so that no temporary file is left behind.
  ::unlink(temporary.c_str());
  archive = map_descriptor(temporary_fd.get());
  return true;
}

int build_from_settings(const char* program_path) {
  const std::string& install_dir = *settings.install_dir;
  log_printf(stdout, "Archiving version %s of the Plim Plugin from directory:\n\n\t%s\n\n",
             settings.version->c_str(), install_dir.c_str());
  set_version_from_text(settings.version->c_str());
  license_member_name = *settings.license_file;
  license_member_name += ".gz";
  archive_member_name = kArchiveName;

  MappedFile license, archive;
  if (!compress_license(install_dir + "/" + *settings.license_file, license)) return 1;
  // The licence text itself: the member name without its last extension.
  const std::string& member = license_member_name;
  std::string license_text = member.substr(0, member.rfind('.', member.size() - 2));
  if (!archive_tree(license_text, archive)) return 1;
  use_members(std::move(license), std::move(archive));
  return write_package(program_path);
}

// A package whose members are not gzip data, or whose member names lack the
// ".gz" that unpacking takes off, would build and then fail at every
// installation; it is refused before the output file is touched.
bool members_are_installable(const PackageContents& c) {
  const struct {
    const char* role;
    const char* name;
    const char* data;
    std::uint32_t length;
  } members[] = {
      {"licence", c.license_name, c.license_data, c.trailer.license_length()},
      {"archive", c.archive_name, c.archive_data, c.trailer.archive_length()},
  };
  for (const auto& member : members) {
    if (!std::string_view(member.name).ends_with(".gz")) {
      log_printf(stderr, "Error:\tThe %s member %s must have a name ending in .gz\n", member.role, member.name);
      return false;
    }
    if (member.length < 2 || member.data[0] != '\x1f' || member.data[1] != '\x8b') {
      log_printf(stderr, "Error:\tThe %s member %s is not gzip data\n", member.role, member.name);
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<PackageArguments> read_package_arguments(int argc, char* const* argv) {
  if (argc != 7) return std::nullopt;
  for (int i = 1; i <= 4; ++i)
    if (!std::isdigit(static_cast<unsigned char>(argv[i][0]))) return std::nullopt;
  auto number = [&](int i) { return std::uint8_t(std::strtoul(argv[i], nullptr, 10)); };
  return PackageArguments{{number(1), number(2), number(3), number(4)},
                          argv[5],
                          argv[6],
                          base_name(argv[5]),
                          base_name(argv[6])};
}

int build_package(int argc, char** argv) {
  const char* program_path = argc > 0 ? argv[0] : "";
  if (std::optional<PackageArguments> arguments = read_package_arguments(argc, argv))
    return build_from_arguments(*arguments, program_path);
  if (argc == 1 && settings.version && settings.license_file && settings.prefix)
    return build_from_settings(program_path);
  print_build_usage(program_path);
}

int write_package(const char* program_path) {
  const PackageContents& c = package_contents;
  const PackageTrailer& t = c.trailer;
  if (!members_are_installable(c)) return 1;
  std::size_t license_name_size = std::strlen(c.license_name) + 1;
  std::size_t archive_name_size = std::strlen(c.archive_name) + 1;
  std::uint64_t total = std::uint64_t(t.exe_length()) + t.license_length() + t.archive_length() +
                        license_name_size + archive_name_size + sizeof t;
  if (total > UINT32_MAX) {
    log_puts("Error:\tThe package would exceed 4 GB\n", stderr);
    return 1;
  }

  std::string name = directory_of(program_path) + "install";
  OutputFile out = create_output_file(name, std::uint32_t(total), kPackageMode);
  off_t image_offset = own_file_offset(c.image, t.exe_length());
  out.append(c.image, t.exe_length(), image_offset < 0 ? -1 : own_file_descriptor(), image_offset);
  out.append(c.license_data, t.license_length(), license_source.get(), 0);
  out.append(c.archive_data, t.archive_length(), archive_source.get(), 0);
  out.append(c.license_name, license_name_size);
  out.append(c.archive_name, archive_name_size);
  out.append(reinterpret_cast<const char*>(&t), sizeof t);
  out.complete();
  log_line("Archive successfull!\n");
  return 0;
}
