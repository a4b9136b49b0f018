# The two set-up commands: `make run` builds and starts the editor, `make test` builds and runs
# every test (also under AddressSanitizer and UndefinedBehaviorSanitizer, with leak detection,
# and the suites that start threads under ThreadSanitizer).

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
CMAKE_FLAGS ?=

# A compiler cache, where the machine has one: the three builds of `make test` then redo only what
# changed since the last run on this machine, whatever folder it ran in.
CCACHE := $(shell command -v ccache 2>/dev/null)
ifneq ($(CCACHE),)
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
CMAKE_FLAGS += -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache
endif

MINUTES ?= 10
SEED ?=

.PHONY: soak run test test-fast test-sanitize test-thread deps build bench fuzz format clean package screenshots

deps:
	./scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./scripts/run-editor.sh $(BUILD)/ombrix

# The suites mostly wait (for answers, the paced gap, the instrument's cable time), so twice as
# many run at once as there are cores.
test-fast: build
	cd $(BUILD) && ctest --output-on-failure -j $$(($(JOBS) * 2))

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DOMBRIX_SANITIZE=ON \
	    -DOMBRIX_BENCH=OFF $(CMAKE_FLAGS)

test-sanitize: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $$(($(JOBS) * 2))

$(TSAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DOMBRIX_TSAN=ON -DOMBRIX_BENCH=OFF \
	    $(CMAKE_FLAGS)

# Under ThreadSanitizer: every suite that starts a thread of its own (listed in
# tests/CMakeLists.txt, label "threads"), the JACK round trip and a minute of the soak. Only
# what they need is built. They mostly wait (for the instrument's cable time, the paced gap,
# answers), so twice as many run at once as there are cores.
test-thread: deps $(TSAN_BUILD)/CMakeCache.txt
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target ombrix_thread_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	    ctest --output-on-failure -j $$(($(JOBS) * 2)) -L threads

test: test-fast test-sanitize test-thread

# Fails when a judged figure misses its target or a benchmark gives none.
bench: build
	./scripts/run-benchmarks.sh $(BUILD)

$(FUZZ_BUILD)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DOMBRIX_FUZZ=ON -DOMBRIX_BENCH=OFF

# Runs each fuzzer for FUZZ_SECONDS (default 60) from its seeds and its corpus in fuzz/corpus,
# and merges what it found into that corpus; a finding (a crash, undefined behaviour, ...), a
# fuzzer that never starts or a failed merge fails the run (after all have run).
fuzz: deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	./scripts/run-fuzzers.sh $(FUZZ_BUILD) $${FUZZ_SECONDS:-60}

# The whole program driven through its windows against the strict built-in instrument, for
# MINUTES (default 10) with a random seed, or SEED to replay a run.
soak: build
	$(BUILD)/ombrix-soak --minutes $(MINUTES) $(if $(SEED),--seed $(SEED))

# A Debian package of the programs in $(BUILD), built with CPack.
package: build
	cd $(BUILD) && cpack -G DEB

# The README's pictures, taken from the real program under Xvfb.
screenshots: build
	./scripts/screenshots.sh $(BUILD)/ombrix docs

format:
	find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
