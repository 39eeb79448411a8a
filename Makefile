# The two commands a user needs: `make run` and `make test`; `make fuzz` runs the fuzz targets,
# `make install` and `make uninstall` put torva into PREFIX (under DESTDIR) and take it out again.
# All but uninstall install missing system packages first (scripts/install-deps.sh).

BUILD        := build
ASAN_BUILD   := build-asan
CMAKE_GEN    := -G Ninja
FUZZ_SECONDS := 120
PREFIX       ?= /usr/local
DESTDIR      ?=

RELEASE_BUILD := build-release

# The normal build; targets add what they need (warnings as errors, the install prefix).
CONFIGURE := cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The sanitizer build: clang with the address and undefined-behaviour sanitizers, which also
# builds the libFuzzer targets of fuzz/.
ASAN_CONFIGURE := cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
    -DTORVA_WERROR=ON -DTORVA_SANITIZE=ON -DTORVA_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

.PHONY: run test fuzz stress install uninstall package

run:
	scripts/install-deps.sh
	$(CONFIGURE)
	cmake --build $(BUILD)
	$(BUILD)/app/torva

# The normal build with warnings as errors and every test, then the unit tests and the X11
# end-to-end checks again, built with clang under the address and undefined-behaviour
# sanitizers, with the fuzz targets' corpora and regressions replayed (labelled unit and fuzz).
test:
	scripts/install-deps.sh
	$(CONFIGURE) -DTORVA_WERROR=ON
	cmake --build $(BUILD)
	ctest --test-dir $(BUILD) --output-on-failure -j2
	$(ASAN_CONFIGURE)
	cmake --build $(ASAN_BUILD)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2 -L 'unit|x11'

# Each libFuzzer target for FUZZ_SECONDS seconds (make fuzz FUZZ_SECONDS=600), one after
# another; a crashing input is left in build-asan/fuzz/crashes.
fuzz:
	scripts/install-deps.sh
	$(ASAN_CONFIGURE)
	cmake --build $(ASAN_BUILD) --target fuzzers
	scripts/fuzz.sh $(ASAN_BUILD) $(FUZZ_SECONDS)

# The programs, the desktop entry, the icons, the AppStream metadata and the manual pages, into
# $(DESTDIR)$(PREFIX); only what is installed is built. The paths go to build/install_manifest.txt.
install:
	scripts/install-deps.sh
	$(CONFIGURE) -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD) --target torva torva-cli torva-icon
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD)
	printf '%s\n' "$(DESTDIR)" >$(BUILD)/install_destdir.txt

# The Debian package torva_<version>_<arch>.deb in $(RELEASE_BUILD), from a Release build of what
# `make install` installs, under /usr (CPack's DEB generator; see data/package.cmake).
package:
	scripts/install-deps.sh
	cmake -S . -B $(RELEASE_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTORVA_BENCH=OFF
	cmake --build $(RELEASE_BUILD) --target torva torva-cli torva-icon torva-docs
	cd $(RELEASE_BUILD) && cpack -G DEB
	@ls $(RELEASE_BUILD)/torva_*.deb

# Removes every file the last `make install` from this build put in place (its manifest), under
# the DESTDIR that install was given: the manifest does not hold it, and forgetting it would
# reach for the files of the same names outside the staging directory.
uninstall:
	DESTDIR="$(if $(DESTDIR),$(DESTDIR),$(shell cat $(BUILD)/install_destdir.txt 2>/dev/null))" \
	    scripts/uninstall.sh $(BUILD)/install_manifest.txt

# The random-input test for a million events (STRESS_EVENTS, seed STRESS_SEED), in the normal
# build (where it also checks that the heap does not grow per event) and under the sanitizers.
STRESS_EVENTS := 1000000
STRESS_SEED   := 20261211
stress:
	scripts/install-deps.sh
	$(CONFIGURE) -DTORVA_WERROR=ON
	cmake --build $(BUILD) --target stress_test
	TORVA_STRESS_EVENTS=$(STRESS_EVENTS) TORVA_STRESS_SEED=$(STRESS_SEED) $(BUILD)/calclib/windows/tests/stress_test
	$(ASAN_CONFIGURE)
	cmake --build $(ASAN_BUILD) --target stress_test
	TORVA_STRESS_EVENTS=$(STRESS_EVENTS) TORVA_STRESS_SEED=$(STRESS_SEED) $(ASAN_BUILD)/calclib/windows/tests/stress_test
