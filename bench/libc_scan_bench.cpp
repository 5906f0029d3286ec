// Throughput of the streaming scan for "libc.so." and "MOZILLA_HOME" over a
// 64 MB candidate whose texts sit at its very end, by block size. The
// comparison with grep on the same kind of file is bench/libc_scan_compare.sh.

#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "browser/libc_scan.h"

using namespace plim;

namespace {

constexpr std::size_t kCandidateSize = 64 << 20;

// Pseudo-random bytes, in which neither text occurs by chance, then the two
// texts in the last bytes of the file.
const std::string& candidate_path() {
  static const std::string path = [] {
    std::string file =
        std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/plim-libc-scan-bench";
    std::string block(1 << 20, '\0');
    unsigned state = 12345;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (std::size_t written = 0; written < kCandidateSize - 64; written += block.size()) {
      for (char& c : block) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
      out.write(block.data(),
                static_cast<std::streamsize>(std::min(block.size(), kCandidateSize - 64 - written)));
    }
    out.write("libc.so.6\0MOZILLA_HOME=\0", 24);
    return file;
  }();
  return path;
}

void BM_ScanCandidate(benchmark::State& state) {
  const std::string& path = candidate_path();
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY);
    char libc = scan_for_libc_char(fd, static_cast<std::size_t>(state.range(0)), kLibcScanLimit);
    ::close(fd);
    if (libc != '6') state.SkipWithError("texts not found");
    benchmark::DoNotOptimize(libc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kCandidateSize);
}
BENCHMARK(BM_ScanCandidate)
    ->Arg(16 << 10)
    ->Arg(64 << 10)
    ->Arg(kLibcScanBlockSize)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(candidate_path().c_str());  // benchmarks leave nothing in TMPDIR
  return 0;
}
