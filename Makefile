# Thin wrapper over CMake. `make demo` and `make test` each do their own
# set-up on a fresh Debian 12 machine.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: deps build demo test test-release test-asan fuzz deb clean

deps:
	./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

# The main job: convert the bundled Photo CD samples to JPEG in ./out/.
demo: build
	./scripts/demo.sh $(BUILD)/src/app/lumafold

test-release: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Sanitizer build of the whole suite, as CI runs it.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DLUMAFOLD_SANITIZE=ON -DLUMAFOLD_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test: test-asan

# Every libFuzzer target for FUZZ_SECONDS each, with ASan and UBSan; a crash fails.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
fuzz:
	LUMAFOLD_FUZZ_DEPS=1 ./scripts/install-deps.sh
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DLUMAFOLD_FUZZ=ON \
	  -DLUMAFOLD_BUILD_UI=OFF -DLUMAFOLD_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	./scripts/run-fuzzers.sh $(FUZZ_BUILD)/fuzz $(FUZZ_SECONDS)

# The Debian packages lumafold_<version>_<arch>.deb (command line) and
# lumafold-desktop_<version>_<arch>.deb (the window), here in the top folder.
# Their own build folder: the packages install under /usr, `make build` under
# /usr/local. Built with Debian's hardening flags; the test suite and its
# packages are left out.
DEB_BUILD ?= build-deb
DEB_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
deb:
	LUMAFOLD_NO_TEST_DEPS=1 ./scripts/install-deps.sh
	cmake -S . -B $(DEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DLUMAFOLD_BUILD_TESTS=OFF \
	  -DCMAKE_C_FLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CFLAGS)" \
	  -DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)"
	cmake --build $(DEB_BUILD) -j $(JOBS)
	cd $(DEB_BUILD) && cpack -G DEB
	cp $(DEB_BUILD)/lumafold_*.deb $(DEB_BUILD)/lumafold-desktop_*.deb .

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(DEB_BUILD) out lumafold_*.deb lumafold-desktop_*.deb
