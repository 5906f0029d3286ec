#include "package/package_builder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/child_process.h"
#include "core/package_contents.h"
#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "core/system_error.h"
#include "core/unique_fd.h"
#include "package/build_usage.h"
#include "package/extraction.h"
#include "package/mapped_file.h"
#include "package/output_file.h"
#include "package/package_check.h"
#include "package/self_inspection.h"

namespace plim {

namespace {

constexpr mode_t kPackageMode = 0755;
constexpr char kArchiveName[] = "Plim.tar.gz";

// Ends the run over an input file that cannot serve as a member, naming it.
[[noreturn]] void refuse_input(const char* path, const char* why) {
  log_printf(stderr, "Error:\t%s %s\n", printable(path).c_str(), why);
  std::exit(1);
}

// A member from a file, its descriptor kept open. The file is named in every
// refusal: the bare system error would not say which of the two it was.
// Opened without blocking, so that a FIFO given by mistake is refused rather
// than waited on.
NewMember map_member(std::string_view name, const char* path) {
  NewMember member{std::string(name), {}, UniqueFd(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK))};
  if (!member.source) {
    report_system_error("open");
    log_printf(stderr, "Error:\tFailed to open %s\n", printable(path).c_str());
    std::exit(1);
  }
  struct stat st;
  if (::fstat(member.source.get(), &st) != 0) exit_on_system_error("fstat");
  if (!S_ISREG(st.st_mode)) refuse_input(path, "is not a regular file");
  if (st.st_size == 0) refuse_input(path, "is empty");
  member.data = map_descriptor(member.source.get());
  return member;
}

int build_from_arguments(const PackageContents& own, const PackageArguments& arguments,
                         const char* program_path) {
  const std::uint8_t* v = arguments.version;
  NewPackage package{{v[0], v[1], v[2], v[3]},
                     map_member(arguments.license_name, arguments.license_path),
                     map_member(arguments.archive_name, arguments.archive_path)};
  return write_package(own, package, program_path);
}

// "3.2.5.3" gives 3 2 5 3, "3.2 beta 1" gives 3 2 0 1, "3.2" gives 3 2 0 0.
void read_version(const char* text, std::uint8_t (&version)[4]) {
  unsigned n[4] = {0, 0, 0, 0};
  std::sscanf(text, "%u.%u.%u.%u", &n[0], &n[1], &n[2], &n[3]);
  std::sscanf(text, "%u.%u beta %u", &n[0], &n[1], &n[3]);
  for (int i = 0; i < 4; ++i) version[i] = std::uint8_t(n[i]);
}

// The licence text compressed into an anonymous temporary file; false after
// reporting a failure. `reproducible`: no name and time in the gzip header.
bool compress_license(const std::string& license_path, bool reproducible, MappedFile& compressed) {
  FILE* temporary = std::tmpfile();
  if (!temporary) {
    report_system_error("tmpfile()");
    return false;
  }
  ChildSpec gzip;
  gzip.argv = {"gzip", "-9", "-c", license_path};
  if (reproducible) gzip.argv.insert(gzip.argv.begin() + 2, "-n");
  gzip.stdout_fd = ::fileno(temporary);
  gzip.exec_failure_text = "Error:\tFailed to execute";
  gzip.exec_failure_to_run_log = true;
  // Not the licence's path: the line is the same wherever the package is built.
  log_execute(stdout, std::vector<std::string>(gzip.argv.begin(), gzip.argv.end() - 1));
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

// The installed tree `install_dir` (without the licence text, the
// uninstaller copy and NFS leftovers) as a gzip tar archive, members recorded
// as root:root unless the local tar rejects that; false after reporting a
// failure.
bool archive_tree(const std::string& install_dir, const std::string& license_text_name,
                  const std::optional<std::string>& epoch, NewMember& archive) {
  std::string temporary;
  UniqueFd& temporary_fd = archive.source;
  if (!make_temporary_file(temporary, temporary_fd)) return false;
  ChildSpec tar;
  tar.argv = archive_command(license_text_name, install_dir, temporary, epoch);
  tar.exec_failure_to_run_log = true;
  for (bool first_run = true;; first_run = false) {
    log_execute(stdout, tar.argv, " \n");  // a blank after every word
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
  archive.data = map_descriptor(temporary_fd.get());
  return true;
}

int build_from_settings(const PackageContents& own, const Settings& settings, const char* program_path) {
  const std::string& install_dir = *settings.install_dir;
  log_printf(stdout, "Archiving version %s of the Plim Plugin from directory:\n\n\t%s\n\n",
             settings.version->c_str(), install_dir.c_str());
  // A build date given as SOURCE_DATE_EPOCH asks for a build that is the
  // same bytes whenever it is made from the same tree.
  std::optional<std::string> epoch;
  if (const char* value = std::getenv("SOURCE_DATE_EPOCH"); value && *value) {
    if (!is_epoch_seconds(value)) {
      log_printf(stderr, "Error:\tSOURCE_DATE_EPOCH is not a count of seconds: %s\n",
                 printable(value).c_str());
      return 1;
    }
    epoch = value;
  }
  NewPackage package{};
  read_version(settings.version->c_str(), package.version);
  package.license.name = *settings.license_file + ".gz";
  package.archive.name = kArchiveName;

  if (!compress_license(install_dir + "/" + *settings.license_file, epoch.has_value(), package.license.data))
    return 1;
  // The licence text itself: the member name without its last extension.
  const std::string& member = package.license.name;
  std::string license_text = member.substr(0, member.rfind('.', member.size() - 2));
  if (!archive_tree(install_dir, license_text, epoch, package.archive)) return 1;
  return write_package(own, package, program_path);
}

// A package whose members are not gzip data, or whose member names lack the
// ".gz" that unpacking takes off, would build and then fail at every
// installation; it is refused before the output file is touched.
bool members_are_installable(const NewPackage& package) {
  const struct {
    const char* role;
    const NewMember& member;
  } members[] = {{"licence", package.license}, {"archive", package.archive}};
  for (const auto& [role, member] : members) {
    const char* name = member.name.c_str();
    if (!member.name.ends_with(".gz")) {
      log_printf(stderr, "Error:\tThe %s member %s must have a name ending in .gz\n", role, name);
      return false;
    }
    const char* data = member.data.address();
    if (member.data.length() < 2 || data[0] != '\x1f' || data[1] != '\x8b') {
      log_printf(stderr, "Error:\tThe %s member %s is not gzip data\n", role, name);
      return false;
    }
  }
  // Unpacking reads both to their end, and the archive through tar: what
  // fails there is refused now.
  require_gunzip_and_tar();
  if (!gzip_member_is_whole(package.license.data.address(), package.license.data.length())) {
    log_printf(stderr, "Error:\tThe licence member %s is damaged gzip data\n", package.license.name.c_str());
    return false;
  }
  const MappedFile& archive = package.archive.data;
  if (!archive_lists_as_tar(archive.address(), archive.length(), ArchiveListing::kHidden)) {
    log_printf(stderr, "Error:\tThe archive member %s does not list as a tar archive\n",
               package.archive.name.c_str());
    return false;
  }
  return true;
}

// The trailer of the new package: the own image's length, the version and
// the members' lengths.
PackageTrailer new_trailer(const PackageContents& own, const NewPackage& package) {
  PackageTrailer t = own.trailer;
  t.major = package.version[0];
  t.minor = package.version[1];
  t.patch = package.version[2];
  t.delta = package.version[3];
  t.reserved[0] = t.reserved[1] = 0;
  t.set_license_length(package.license.data.length());
  t.set_archive_length(package.archive.data.length());
  return t;
}

}  // namespace

std::optional<PackageArguments> read_package_arguments(int argc, char* const* argv) {
  if (argc != 7) return std::nullopt;
  for (int i = 1; i <= 4; ++i)
    if (!std::isdigit(static_cast<unsigned char>(argv[i][0]))) return std::nullopt;
  auto number = [&](int i) { return std::uint8_t(std::strtoul(argv[i], nullptr, 10)); };
  return PackageArguments{
      {number(1), number(2), number(3), number(4)}, argv[5], argv[6], base_name(argv[5]), base_name(argv[6])};
}

bool is_version_word(std::string_view word) {
  if (word.empty() || word.find_first_not_of("0123456789") != std::string_view::npos) return false;
  std::string_view significant = word.substr(std::min(word.find_first_not_of('0'), word.size()));
  return significant.size() < 3 || (significant.size() == 3 && significant <= "255");
}

bool is_epoch_seconds(std::string_view value) {
  // Up to 18 digits: any such count fits the 64-bit time tar keeps.
  return !value.empty() && value.size() <= 18 &&
         value.find_first_not_of("0123456789") == std::string_view::npos;
}

std::vector<std::string> archive_command(const std::string& license_text_name, const std::string& install_dir,
                                         const std::string& archive_path,
                                         const std::optional<std::string>& epoch) {
  std::vector<std::string> argv = {"tar",
                                   "--exclude=" + license_text_name,
                                   "-C",
                                   install_dir + "/",
                                   "--exclude=uninstall",
                                   "--exclude=.nfs*",
                                   "-f",
                                   archive_path,
                                   "--create"};
  if (epoch) {
    // Whatever the files' times and the directory order, the same tree
    // gives the same bytes: names sorted, every member time the epoch, owner
    // numbers that need no account database, no time stamp in gzip's
    // header. Times are set rather than clamped (--clamp-mtime), which would
    // keep the time of a file older than the epoch, so that touching it
    // would change the archive.
    argv.insert(argv.end(), {"--use-compress-program=gzip -n", "--sort=name", "--mtime=@" + *epoch,
                             "--numeric-owner", "-vv", "--owner=0", "--group=0", "."});
  } else {
    argv.insert(argv.end(), {"--gzip", "-vv", "--owner=root", "--group=root", "."});
  }
  return argv;
}

int build_package(const PackageContents& own, const Settings& settings, int argc, char** argv) {
  const char* program_path = argc > 0 ? argv[0] : "";
  if (std::optional<PackageArguments> arguments = read_package_arguments(argc, argv)) {
    // Each version word is one byte of the trailer: a number that does not
    // fit would be stored as another one.
    for (int i = 1; i <= 4; ++i) {
      if (is_version_word(argv[i])) continue;
      log_printf(stderr, "Error:\tThe version word %s is not a number from 0 to 255\n",
                 printable(argv[i]).c_str());
      print_build_usage(program_path);
    }
    return build_from_arguments(own, *arguments, program_path);
  }
  if (argc == 1 && settings.version && settings.license_file && settings.prefix)
    return build_from_settings(own, settings, program_path);
  print_build_usage(program_path);
}

int write_package(const PackageContents& own, const NewPackage& package, const char* program_path) {
  if (!members_are_installable(package)) return 1;
  const PackageTrailer t = new_trailer(own, package);
  const NewMember& license = package.license;
  const NewMember& archive = package.archive;
  std::size_t license_name_size = license.name.size() + 1;
  std::size_t archive_name_size = archive.name.size() + 1;
  std::uint64_t total = std::uint64_t(t.exe_length()) + t.license_length() + t.archive_length() +
                        license_name_size + archive_name_size + sizeof t;
  if (total > UINT32_MAX) {
    log_puts("Error:\tThe package would exceed 4 GB\n", stderr);
    return 1;
  }

  std::string name = directory_of(program_path) + "install";
  OutputFile out = create_output_file(name, std::uint32_t(total), kPackageMode);
  const char* image = own.image;
  off_t image_offset = own_file_offset(image, t.exe_length());
  out.append(image, t.exe_length(), image_offset < 0 ? -1 : own_file_descriptor(), image_offset);
  out.append(license.data.address(), t.license_length(), license.source.get(), 0);
  out.append(archive.data.address(), t.archive_length(), archive.source.get(), 0);
  out.append(license.name.c_str(), license_name_size);
  out.append(archive.name.c_str(), archive_name_size);
  out.append(reinterpret_cast<const char*>(&t), sizeof t);
  out.complete();
  log_line("Archive successfull!\n");
  return 0;
}

}  // namespace plim
