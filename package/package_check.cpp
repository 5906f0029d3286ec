#include "package/package_check.h"

#include <fcntl.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/child_process.h"
#include "core/package_contents.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/unique_fd.h"
#include "package/extraction.h"

namespace plim {

namespace {

bool exited_zero(int wait_status) { return WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0; }

// Both children must end by themselves with status 0: a gunzip stopped by
// SIGPIPE did not read its member to the end, so the member was not checked.
bool pipeline_whole(const char* data, std::size_t length, const std::vector<std::string>& consumer,
                    PipelineOutput output) {
  PipelineStatus status = pipe_through_gunzip(data, length, consumer, {}, output);
  return exited_zero(status.decompressor) && exited_zero(status.consumer);
}

void require_program(const char* name) {
  UniqueFd null(::open("/dev/null", O_WRONLY | O_CLOEXEC));
  ChildSpec probe;
  probe.argv = {name, "--version"};
  probe.stdout_fd = null.get();
  if (report_child_failure(name, run_child(probe))) std::exit(1);
}

}  // namespace

void require_gunzip_and_tar() {
  require_program("gunzip");
  require_program("tar");
}

bool gzip_member_is_whole(const char* data, std::size_t length) {
  return pipeline_whole(data, length, {"cat"}, PipelineOutput::kNothing);
}

bool archive_lists_as_tar(const char* data, std::size_t length, ArchiveListing listing) {
  if (listing == ArchiveListing::kShown)
    return pipeline_whole(data, length, {"tar", "-tvf", "-"}, PipelineOutput::kListingOnly);
  return pipeline_whole(data, length, {"tar", "-tf", "-"}, PipelineOutput::kNothing);
}

PackageState check_own_package(const PackageContents& contents, ArchiveListing listing) {
  if (!contents.license_name || !contents.archive_name) return PackageState::kMissing;
  require_gunzip_and_tar();
  if (!gzip_member_is_whole(contents.license_data, contents.trailer.license_length()))
    return PackageState::kDamaged;
  if (!archive_lists_as_tar(contents.archive_data, contents.trailer.archive_length(), listing))
    return PackageState::kDamaged;
  return PackageState::kWhole;
}

void report_package_state(PackageState state, const char* program_path) {
  std::string path = printable(program_path);
  if (state == PackageState::kMissing)
    log_printf(stderr, "Error:\t%s carries no package, or a damaged one: fetch the package again\n",
               path.c_str());
  else if (state == PackageState::kDamaged)
    log_printf(stderr, "Error:\tThe package %s is damaged: fetch it again\n", path.c_str());
}

void require_whole_package(const PackageContents& contents, const char* program_path) {
  PackageState state = check_own_package(contents, ArchiveListing::kHidden);
  if (state == PackageState::kWhole) return;
  report_package_state(state, program_path);
  std::exit(1);
}

}  // namespace plim
