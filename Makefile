# Thin wrapper around CMake. `make check` is the test command; `make demo`
# shows the installer at work in the sandbox.
BUILD      := build
ASAN_BUILD := build/asan
BENCH_BUILD := build/bench
FUZZ_BUILD := build/fuzz
FUZZ_SECONDS ?= 30
JOBS       ?= $(shell nproc)
# CI builds with warnings as errors (make check PLIM_WERROR=ON).
PLIM_WERROR ?= OFF

.PHONY: all prerequisites build asan check demo lint format format-check bench fuzz clean

all: build

# What each target needs is checked first (the demo also needs root, which an
# ordinary user learns before anything is built): the target's name is handed
# down to the prerequisites of everything it builds.
NEEDS := build
demo: NEEDS := demo
check: NEEDS := check
bench: NEEDS := bench
lint format format-check: NEEDS := lint

prerequisites:
	@testing/install-prerequisites $(NEEDS)

build: prerequisites
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLIM_WERROR=$(PLIM_WERROR) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

asan: prerequisites
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPLIM_SANITIZE=ON -DPLIM_WERROR=$(PLIM_WERROR) >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The unit tests run in both builds. The whole runs and the scenarios, which
# spend their time in sandboxes and other programs, run once, in the
# sanitizer build (about a quarter slower there), where a memory fault in a
# whole run shows as well as in a unit.
check: build asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L unit
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	testing/demo

# The guard rails CI runs beside the tests: the C++ formatted as .clang-format
# says, clang-tidy's chosen checks (.clang-tidy) and shellcheck with no
# finding. `make format` rewrites the sources in place.
CXX_SOURCES = git ls-files -z '*.cpp' '*.h'
SHELL_SCRIPTS = testing/shell-scripts

format: prerequisites
	$(CXX_SOURCES) | xargs -0 clang-format -i

format-check: prerequisites
	$(CXX_SOURCES) | xargs -0 clang-format --dry-run -Werror

# clang-tidy needs the compile commands, not a build: configuring is enough.
# Everything it says is shown but its counts of the warnings it generated
# (in system headers, and not reported); a finding fails the target. The
# unit tests are held to the compiler's warnings alone: clang-tidy spent
# more than half its time in googletest's macros there, for checks aimed at
# the product's system calls and buffers.
lint: SHELL := /bin/bash
lint: .SHELLFLAGS := -o pipefail -c
lint: prerequisites
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLIM_WERROR=$(PLIM_WERROR) >/dev/null
	git ls-files -z '*.cpp' ':!fuzz/*' ':!bench/*' ':!*_test.cpp' | xargs -0 -n 4 -P $(JOBS) clang-tidy -p $(BUILD) --quiet 2>&1 | \
	  { grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$$' || true; }
	$(SHELL_SCRIPTS) | xargs -0 shellcheck

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
