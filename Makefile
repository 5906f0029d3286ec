# Thin wrapper around CMake. `make check` is the test command; `make demo`
# shows the installer at work in the sandbox.
BUILD      := build
ASAN_BUILD := build/asan
BENCH_BUILD := build/bench
FUZZ_BUILD := build/fuzz
FUZZ_SECONDS ?= 30
JOBS       ?= $(shell nproc)

.PHONY: all prerequisites build asan check demo bench fuzz clean

all: build

# What each target needs is checked first (the demo also needs root, which an
# ordinary user learns before anything is built): the target's name is handed
# down to the prerequisites of everything it builds.
NEEDS := build
demo: NEEDS := demo
check: NEEDS := check
bench: NEEDS := bench

prerequisites:
	@testing/install-prerequisites $(NEEDS)

build: prerequisites
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

asan: prerequisites
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPLIM_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)

check: build asan
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	testing/demo

bench: prerequisites
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DPLIM_BENCH=ON >/dev/null
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	bench/run $(BENCH_BUILD)

# libFuzzer needs clang; each fuzzer runs FUZZ_SECONDS (make fuzz FUZZ_SECONDS=60).
fuzz:
	@testing/install-prerequisites fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLIM_FUZZ=ON >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)
