# The two set-up commands: `make run` builds and starts the editor, `make test` builds and runs
# every test (also under AddressSanitizer and UndefinedBehaviorSanitizer).

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
CMAKE_FLAGS ?=

.PHONY: run test test-fast test-sanitize deps build bench fuzz format clean package screenshots

deps:
	./scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./scripts/run-editor.sh $(BUILD)/ombrix

test-fast: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DOMBRIX_SANITIZE=ON \
	    -DOMBRIX_BENCH=OFF $(CMAKE_FLAGS)

test-sanitize: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

test: test-fast test-sanitize

bench: build
	./scripts/run-benchmarks.sh $(BUILD)

$(FUZZ_BUILD)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DOMBRIX_FUZZ=ON -DOMBRIX_BENCH=OFF

# Runs each fuzzer for FUZZ_SECONDS (default 60) from its seeds.
fuzz: deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	./scripts/run-fuzzers.sh $(FUZZ_BUILD) $${FUZZ_SECONDS:-60}

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
