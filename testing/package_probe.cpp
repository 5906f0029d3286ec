// Runs the start-up self-inspection on its own file, as the installer does,
// and prints what it found, pointers as offsets from the image, one
// "field=value" per line. Scenarios append a payload and a trailer to a copy
// of this program and compare the offsets with the bytes they put there.

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "installer/console.h"
#include "package/package_contents.h"
#include "package/self_inspection.h"

namespace {

void print_offset(const char* field, const char* pointer) {
  if (pointer)
    std::printf("%s=%td\n", field, pointer - package_contents.image);
  else
    std::printf("%s=null\n", field);
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 0 ? argv[0] : "";
  open_run_log(path);
  int result = inspect_own_package(path);

  const PackageContents& c = package_contents;
  const PackageTrailer& t = c.trailer;
  unsigned char signature[4];
  std::memcpy(signature, &c.exe_signature, 4);
  std::printf("result=%d\n", result);
  std::printf("exe_length=%" PRIu32 "\n", t.exe_length());
  std::printf("license_length=%" PRIu32 "\n", t.license_length());
  std::printf("archive_length=%" PRIu32 "\n", t.archive_length());
  std::printf("version=%u.%u.%u.%u\n", t.major, t.minor, t.patch, t.delta);
  std::printf("magic=%.*s\n", int(sizeof t.magic), t.magic);
  std::printf("exe_signature=%02x%02x%02x%02x\n", signature[0], signature[1], signature[2],
              signature[3]);
  print_offset("image", c.image);
  print_offset("license_data", c.license_data);
  print_offset("archive_data", c.archive_data);
  print_offset("license_name", c.license_name);
  print_offset("archive_name", c.archive_name);
  std::printf("license_name_text=%s\n", c.license_name ? c.license_name : "");
  std::printf("archive_name_text=%s\n", c.archive_name ? c.archive_name : "");
  return 0;
}
