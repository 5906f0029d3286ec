#include "package/mapped_file.h"

#include <fcntl.h>
#include <unistd.h>

#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

TEST(MappedFile, MapsTheWholeFileOrReportsTheFailingCall) {
  ScratchDir dir;
  std::string bytes(70000, 'x');
  bytes.back() = 'y';
  write_file(dir / "f", bytes);
  write_file(dir / "empty", "");
  MappedFile file = map_file((dir / "f").c_str());
  EXPECT_EQ(dir / "f", file.name());
  EXPECT_EQ(bytes, std::string(file.address(), file.length()));
  unmap_file(file);
  unmap_file(file);  // a second release is a no-op
  EXPECT_FALSE(file);
  EXPECT_EXIT(map_file((dir / "missing").c_str()), testing::ExitedWithCode(1),
              "^open: No such file or directory\n$");
  EXPECT_EXIT(map_file((dir / "empty").c_str()), testing::ExitedWithCode(1), "^mmap: Invalid argument\n$");
  EXPECT_EXIT(map_descriptor(-1), testing::ExitedWithCode(1), "^fstat: Bad file descriptor\n$");

  // A descriptor stays open; a stream's buffered bytes are in the mapping.
  int fd = ::open((dir / "f").c_str(), O_RDONLY);
  MappedFile from_fd = map_descriptor(fd);
  EXPECT_EQ(bytes, std::string(from_fd.address(), from_fd.length()));
  EXPECT_EQ(0, ::close(fd));

  FILE* stream = std::tmpfile();
  std::fputs("still in the stream's buffer", stream);
  MappedFile streamed = map_stream(stream);
  EXPECT_EQ("still in the stream's buffer", std::string(streamed.address(), streamed.length()));
}

}  // namespace

}  // namespace plim
