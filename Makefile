# Two entry points: `make run` builds and starts Talvo, `make test` builds the
# sanitizer configuration and runs every test through ctest, then the fuzz
# targets (`make fuzz`, FUZZ_SECONDS each).
BUILD      ?= build
TEST_BUILD ?= build-test
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: all deps build run test fuzz bench package format clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/talvo

test: deps
	@cmake -S . -B $(TEST_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTALVO_SANITIZE=ON >/dev/null
	@cmake --build $(TEST_BUILD) -j $(JOBS)
	@cd $(TEST_BUILD) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory fuzz

# The libFuzzer targets (clang, sanitizers), each run FUZZ_SECONDS through ctest.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DTALVO_FUZZ=ON \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g" \
	    -DTALVO_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target talvo_fuzzers
	@cd $(FUZZ_BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package of the release build: $(BUILD)/talvo_<version>_<arch>.deb.
package: build
	@cd $(BUILD) && cpack
	@ls $(BUILD)/talvo_*.deb

bench: build
	bench/run-all.sh $(BUILD)/bin

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(FUZZ_BUILD)
