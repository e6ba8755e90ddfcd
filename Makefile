# Two entry points: `make run` builds and starts Talvo, `make test` builds the
# sanitizer configuration and runs every test through ctest.
BUILD      ?= build
TEST_BUILD ?= build-test
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: all deps build run test bench package format clean

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

# The Debian package of the release build: $(BUILD)/talvo_<version>_<arch>.deb.
package: build
	@cd $(BUILD) && cpack
	@ls $(BUILD)/talvo_*.deb

bench: build
	bench/run-all.sh $(BUILD)/bin

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(TEST_BUILD)
