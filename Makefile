# The two commands a user needs: `make run` and `make test`.
# Both install missing system packages first (scripts/install-deps.sh).

BUILD      := build
ASAN_BUILD := build-asan
CMAKE_GEN  := -G Ninja

.PHONY: run test

run:
	scripts/install-deps.sh
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)
	$(BUILD)/app/torva

# The normal build with warnings as errors and every test, then the unit tests and the X11
# end-to-end checks again, built with clang under the address and undefined-behaviour
# sanitizers.
test:
	scripts/install-deps.sh
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVA_WERROR=ON
	cmake --build $(BUILD)
	ctest --test-dir $(BUILD) --output-on-failure -j2
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTORVA_WERROR=ON \
	    -DTORVA_SANITIZE=ON -DTORVA_BENCH=OFF \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(ASAN_BUILD)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2 -L 'unit|x11'
