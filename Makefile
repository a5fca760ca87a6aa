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

# The Debian package lumafold_<version>_<arch>.deb, here in the top folder.
# Its own build folder: the package installs under /usr, `make build` under
# /usr/local.
DEB_BUILD ?= build-deb
deb: deps
	cmake -S . -B $(DEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DLUMAFOLD_BUILD_TESTS=OFF
	cmake --build $(DEB_BUILD) -j $(JOBS)
	cd $(DEB_BUILD) && cpack -G DEB
	cp $(DEB_BUILD)/lumafold_*.deb .

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(DEB_BUILD) out lumafold_*.deb
