# make run   : installs what is missing, builds, and starts the desktop program
# make test  : installs what is missing, builds, runs every test (normal and sanitizer builds),
#              checks the installation and the Debian package and, where clang is installed, runs
#              each fuzz target for 20 s on its seed corpus
#              and tests the Windows build under Wine (test-windows)
# make package: builds dovex_<version>_amd64.deb in the build folder
# make test-windows: cross-builds the Qt-free libraries, dovex-calc and their tests for Windows
#              (MinGW-w64), runs the tests under Wine, compares dovex-calc.exe's output with the
#              Linux build's and checks the zip in an empty Wine prefix
# make package-windows: builds dovex-calc-<version>-win64.zip in the Windows build folder
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
WINDOWS_BUILD ?= build-windows
# Warnings are errors in the developer builds (CI runs `make test`); a plain cmake build keeps them warnings.
WERROR ?= ON

.PHONY: deps build run test test-main test-asan test-package test-fuzz test-windows package \
	package-windows bench calc clean data

deps:
	@bash scripts/setup-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOVEX_WERROR=$(WERROR) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	bash scripts/prepare-rundata.sh data $(BUILD)/rundata
	$(BUILD)/app/dovex --data-dir $(BUILD)/rundata

test: test-main test-asan test-package test-fuzz test-windows

test-main: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -LE slow

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DDOVEX_SANITIZE=ON -DDOVEX_WERROR=$(WERROR) -DDOVEX_WITH_QT=OFF \
	  -DDOVEX_WITH_TOOLS=OFF -DDOVEX_WITH_BENCH=OFF >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -LE slow

test-package: build
	bash scripts/check-package.sh $(BUILD)

package: build
	cd $(BUILD) && cpack -G DEB
	@ls -l $(BUILD)/dovex_*_amd64.deb

# The fuzz targets of fuzz/ (clang's libFuzzer), FUZZ_SECONDS each (default 20).
test-fuzz: deps
	@if command -v clang++ >/dev/null 2>&1; then \
	  JOBS=$(JOBS) bash fuzz/run-fuzz.sh; \
	else echo "clang++ not found: the fuzz step is skipped"; fi

test-windows: build
	JOBS=$(JOBS) WERROR=$(WERROR) bash scripts/test-windows.sh $(WINDOWS_BUILD) $(BUILD)

package-windows: deps
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOVEX_WERROR=$(WERROR) >/dev/null
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target package-windows
	@ls -l $(WINDOWS_BUILD)/dovex-calc-*-win64.zip

bench: build
	$(BUILD)/bench/dovex_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WINDOWS_BUILD) build-fuzz
