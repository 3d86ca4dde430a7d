# The two commands: `make run` and `make test`. Everything else is a helper for them.
BUILD ?= build
TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=

.PHONY: run test build deps test-deps configure bench package clean

run: deps build
	$(BUILD)/dovoz1

test: test-deps build
	cd $(BUILD) && ctest --output-on-failure -j2

deps:
	scripts/install-deps.sh

test-deps:
	scripts/install-deps.sh --test

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE) $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

# Benchmarks in Release with their own dependencies; regenerates bench/RESULTS.md.
bench:
	scripts/bench-report.sh

clean:
	rm -rf $(BUILD) build-bench

package: deps build
	cd $(BUILD) && cpack -G DEB
