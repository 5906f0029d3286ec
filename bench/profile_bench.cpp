// Reading profile files, against the inih library on an equivalent INI file,
// and resolving option values in a profile of many options.
//
// At start a temporary directory receives a 20 MB profile file of mixed
// entries and the INI file with the same sections, names and values; HOME
// and PLIM_CONFIG_DIR point into it, so no real profile is read. The run ends
// with the two reading rates and their ratio.

#include <benchmark/benchmark.h>
#include <ini.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "profile/profile_config.h"

using namespace profile;

namespace {

constexpr std::size_t file_bytes = 20 * 1000 * 1000;

struct BenchFiles {
  std::string directory;
  std::string profile_path;
  std::string ini_path;
  std::size_t profile_size = 0;
  std::size_t ini_size = 0;
};

BenchFiles& files() {
  static BenchFiles bench_files;
  return bench_files;
}

// Writes both files line by line: every profile line has an INI counterpart
// with the same meaning (quotes and escapes become their literal text).
void generate_files() {
  BenchFiles& f = files();
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/profile-bench-XXXXXX";
  if (mkdtemp(templ.data()) == nullptr) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  f.directory = templ;
  f.profile_path = f.directory + "/bench.conf";
  f.ini_path = f.directory + "/bench.ini";
  setenv("HOME", f.directory.c_str(), 1);
  setenv("PLIM_CONFIG_DIR", (f.directory + "/").c_str(), 1);

  std::ofstream profile(f.profile_path, std::ios::binary);
  std::ofstream ini(f.ini_path, std::ios::binary);
  std::mt19937 random(42);
  char name[32];
  std::size_t written = 0;
  for (long line = 0; written < file_bytes; ++line) {
    std::snprintf(name, sizeof name, "option-%03u", static_cast<unsigned>(random() % 1000));
    std::string p, i;
    long n = line;
    switch (line % 8) {
      case 0:
        if (line % 4000 == 0) {
          p = "section" + std::to_string(line / 4000) + ":\n";
          i = "[section" + std::to_string(line / 4000) + "]\n";
          break;
        }
        [[fallthrough]];
      case 1:
        p = std::string(name) + " = /usr/local/lib/plim/" + std::to_string(n) + "\n";
        i = p;
        break;
      case 2:
        p = std::string(name) + "='single quoted #" + std::to_string(n) + " value'\n";
        i = std::string(name) + "=single quoted #" + std::to_string(n) + " value\n";
        break;
      case 3:
        p = "# a comment line about entry " + std::to_string(n) + "\n";
        i = p;
        break;
      case 4:
        p = std::string(name) + " = \"double \\\"quoted\\\" " + std::to_string(n) + "\"\n";
        i = std::string(name) + " = double \"quoted\" " + std::to_string(n) + "\n";
        break;
      case 5:
        p = "\n";
        i = p;
        break;
      case 6:
        p = std::string(name) + "=TRUE # trailing comment\n";
        i = std::string(name) + "=TRUE ; trailing comment\n";
        break;
      default:
        p = std::string(name) + " = words with a few blanks " + std::to_string(n) + "\n";
        i = p;
    }
    profile << p;
    ini << i;
    written += p.size();
  }
  profile.close();
  ini.close();
  f.profile_size = std::filesystem::file_size(f.profile_path);
  f.ini_size = std::filesystem::file_size(f.ini_path);
}

void BM_ProfileReader(benchmark::State& state) {
  long values = 0;
  for (auto _ : state) {
    ProfileConfigPtr config(ProfileConfig::create_from_file(files().profile_path, "bench"));
    values += config->option_names().count();
    benchmark::DoNotOptimize(values);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * files().profile_size));
}
BENCHMARK(BM_ProfileReader)->Unit(benchmark::kMillisecond)->MinTime(2);

int count_entry(void* user, const char*, const char*, const char*) {
  ++*static_cast<long*>(user);
  return 1;
}

// inih parsing only: the handler counts entries.
void BM_InihParse(benchmark::State& state) {
  long entries = 0;
  for (auto _ : state) {
    if (ini_parse(files().ini_path.c_str(), count_entry, &entries) != 0) {
      state.SkipWithError("ini_parse failed");
      break;
    }
  }
  benchmark::DoNotOptimize(entries);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * files().ini_size));
}
BENCHMARK(BM_InihParse)->Unit(benchmark::kMillisecond)->MinTime(2);

using IniStore = std::unordered_map<std::string, std::unordered_map<std::string, std::string>>;

int store_entry(void* user, const char* section, const char* name, const char* value) {
  (*static_cast<IniStore*>(user))[section][name] = value;
  return 1;
}

// inih with the values kept, as our reader keeps them.
void BM_InihParseAndStore(benchmark::State& state) {
  for (auto _ : state) {
    IniStore store;
    if (ini_parse(files().ini_path.c_str(), store_entry, &store) != 0) {
      state.SkipWithError("ini_parse failed");
      break;
    }
    benchmark::DoNotOptimize(store.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * files().ini_size));
}
BENCHMARK(BM_InihParseAndStore)->Unit(benchmark::kMillisecond)->MinTime(2);

// Resolving values in a profile of state.range(0) options, in random order.
void BM_ResolveValue(benchmark::State& state) {
  const int options = static_cast<int>(state.range(0));
  std::string path = files().directory + "/options" + std::to_string(options) + ".conf";
  std::vector<std::string> names;
  {
    std::ofstream out(path);
    for (int n = 0; n < options; ++n) {
      names.push_back("name" + std::to_string(n * 7919 % 1000003));
      out << names.back() << " = value " << n << "\n";
    }
  }
  ProfileConfigPtr config(ProfileConfig::create_from_file(path, "bench"));
  std::shuffle(names.begin(), names.end(), std::mt19937(7));
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(config->get_string(names[next]));
    if (++next == names.size()) next = 0;
  }
  state.SetComplexityN(options);
}
BENCHMARK(BM_ResolveValue)->RangeMultiplier(10)->Range(100, 10000)->Complexity(benchmark::oLogN);

// Reading a profile of state.range(0) distinct option names, one value each,
// entered in byte order (range(1) == 0) or shuffled (range(1) == 1): the
// names read per second (CPU time) should stay flat as their number grows.
void BM_DistinctNames(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const bool shuffled = state.range(1) != 0;
  std::vector<int> order(static_cast<std::size_t>(count));
  for (int n = 0; n < count; ++n) order[n] = n;
  if (shuffled) std::shuffle(order.begin(), order.end(), std::mt19937(11));
  std::string path =
      files().directory + "/distinct" + std::to_string(count) + (shuffled ? "s" : "o") + ".conf";
  {
    std::ofstream out(path, std::ios::binary);
    char line[64];
    for (int n : order) {
      std::snprintf(line, sizeof line, "name-%07d = value %d\n", n, n);
      out << line;
    }
  }
  for (auto _ : state) {
    ProfileConfigPtr config(ProfileConfig::create_from_file(path, "bench"));
    benchmark::DoNotOptimize(config->option_names().count());
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_DistinctNames)
    ->ArgNames({"names", "shuffled"})
    ->ArgsProduct({{1000, 10000, 100000, 1000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// Prints the table as usual and, at the end, the reading rates and ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& reports) override {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
      auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end()) rates_[run.benchmark_name()] = rate->second.value / 1e6;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    double ours = rate_of("BM_ProfileReader/min_time:2.000");
    double inih = rate_of("BM_InihParse/min_time:2.000");
    double inih_store = rate_of("BM_InihParseAndStore/min_time:2.000");
    std::printf("profile file %zu bytes, INI file %zu bytes\n", files().profile_size, files().ini_size);
    std::printf("profile reader %.1f MB/s, inih %.1f MB/s, inih storing %.1f MB/s\n", ours, inih, inih_store);
    if (inih > 0 && inih_store > 0) {
      std::printf("ratio profile reader / inih: %.2f; / inih storing: %.2f\n", ours / inih,
                  ours / inih_store);
    }
  }

 private:
  // With --benchmark_repetitions the runs are compared by their medians.
  double rate_of(const std::string& name) {
    auto median = rates_.find(name + "_median");
    return median != rates_.end() ? median->second : rates_[name];
  }

  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  generate_files();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::filesystem::remove_all(files().directory);
  return 0;
}
