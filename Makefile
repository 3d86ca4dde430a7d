# The two commands: `make run` and `make test`. Everything else is a helper for them.
BUILD ?= build
TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=

.PHONY: run test build deps test-deps configure bench package package-check reprotest autopkgtest \
	test-fresh clean test-sanitize fuzz-smoke fuzz-long web web-deps web-test

run: deps configure
	cmake --build $(BUILD) --target dovoz1
	$(BUILD)/dovoz1

# After the ordinary tests: the same tests under the sanitizers, and a short run of every fuzz target.
# The Debian package is built first (without its own run of these tests), for the tests that check it.
test: test-deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE) -DDOVOZ1_REQUIRE_TESTS=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD)
	DEB_BUILD_OPTIONS="nocheck $(DEB_BUILD_OPTIONS)" scripts/build-package.sh $(BUILD)
	cd $(BUILD) && ctest --output-on-failure -j2
	scripts/test-sanitize.sh
	scripts/fuzz.sh smoke $(FUZZ_SMOKE_SECONDS)

deps:
	scripts/install-deps.sh

test-deps:
	scripts/install-deps.sh --test

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE) $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja

# The program, and the tests where GoogleTest is installed.
build: configure
	cmake --build $(BUILD)

# Benchmarks in Release with their own dependencies; regenerates bench/RESULTS.md.
bench:
	scripts/bench-report.sh

# The Debian package, build/dovoz1_1.0_amd64.deb, built by dpkg-buildpackage from debian/ (with the
# build's own tests; DEB_BUILD_OPTIONS=nocheck leaves them out); the source package, the debug symbols
# and the build log go to build/debian-package/.
package:
	scripts/install-deps.sh --package
	scripts/build-package.sh $(BUILD)

# Installs that package with apt, as a user would, and runs the installed program on a private X
# server until a key ends it (changes the system: meant for a fresh root or a throw-away machine).
package-check: package
	scripts/package-check.sh $(BUILD)

# The source package built twice by reprotest under its variations (time, locale, user, build path,
# file order...); the two sets of .debs must be bit-identical. Needs root; meant for a fresh root.
reprotest:
	scripts/install-deps.sh --reprotest
	scripts/reprotest.sh $(BUILD)

# The package's autopkgtest (debian/tests) on the package as installed, run by autopkgtest on this
# system (changes it: meant for a fresh root or a throw-away machine).
autopkgtest: package
	scripts/install-deps.sh --autopkgtest
	scripts/autopkgtest.sh $(BUILD)

# `make test` on a clone of the committed HEAD inside a fresh Debian 12 root, as on a newcomer's machine.
test-fresh:
	scripts/test-fresh.sh

# Every test built with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer (build-sanitize).
test-sanitize: test-deps
	scripts/test-sanitize.sh

# Each fuzz target for a short while from the committed corpus (build-fuzz, clang); a crash fails.
FUZZ_SMOKE_SECONDS ?= 25
fuzz-smoke: test-deps
	scripts/fuzz.sh smoke $(FUZZ_SMOKE_SECONDS)

# Each fuzz target for FUZZ_SECONDS, then the corpus minimised back into tests/fuzz/corpus.
FUZZ_SECONDS ?= 900
fuzz-long: test-deps
	scripts/fuzz.sh long $(FUZZ_SECONDS)

# The intro for browsers in build-web/: index.html, index.js and index.wasm, built with Debian's
# Emscripten over libraries made from Debian's source packages (cached in /var/cache/dovoz1-web).
web: web-deps
	scripts/build-web.sh build-web

web-deps:
	scripts/install-deps.sh --web

# The page in Chromium, Firefox ESR and WebKitGTK against the native capture: frames, music, sound
# start, keys, screenshot, errors, frame rate (WEB_TEST_ENGINES="chromium firefox" for fewer).
WEB_TEST_ENGINES ?=
web-test: web configure
	scripts/install-deps.sh --web-test
	cmake --build $(BUILD) --target dovoz1-capture
	scripts/web-test.sh build-web $(BUILD)/dovoz1-capture $(WEB_TEST_ENGINES)

clean:
	rm -rf $(BUILD) build-bench build-sanitize build-fuzz build-web
