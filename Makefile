# SPDX-License-Identifier: MIT
# make run   : installs what is missing, builds, and starts the desktop program
# make test  : installs what is missing, builds, runs every test (normal and sanitizer builds),
#              checks the installation and the Debian package and, where clang is installed, runs
#              each fuzz target for 20 s on its seed corpus
#              and tests the Windows build under Wine (test-windows)
# make package: builds dovex_<version>_amd64.deb in the build folder
# make manual-tables : writes the validation tables of docs/manual/06-validation.md from the program
# make manual-screens: draws the manual's screenshots (docs/manual/images) offscreen from the program
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

.PHONY: deps build run test test-main test-asan test-asan-qt test-package test-fuzz test-windows \
	package package-windows bench calc clean data manual-tables manual-screens

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

# The window tests (and everything else) built with ASan and UBSan: the report writer and the
# windows under the sanitizers. Not part of `make test`: on the two-core CI machine the sanitized
# build of the Qt code alone takes about as long as `make test` may. Leak detection is off here:
# the chart windows' Qt Charts objects are still held when the tests end (indirect leaks only);
# memory errors and undefined behaviour stop the run.
ASAN_QT_BUILD ?= build-asan-qt
test-asan-qt: deps
	cmake -S . -B $(ASAN_QT_BUILD) -DCMAKE_BUILD_TYPE=Debug -DDOVEX_SANITIZE=ON -DDOVEX_WERROR=$(WERROR) \
	  -DDOVEX_WITH_TOOLS=OFF -DDOVEX_WITH_BENCH=OFF >/dev/null
	cmake --build $(ASAN_QT_BUILD) -j $(JOBS)
	cd $(ASAN_QT_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  ctest --output-on-failure -j $(JOBS) -LE slow

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

manual-tables: build
	$(BUILD)/tools/manual/dovex-manualtables docs/manual/06-validation.md

manual-screens: build
	rm -rf $(BUILD)/rundata-manual
	bash scripts/prepare-rundata.sh data $(BUILD)/rundata-manual
	QT_QPA_PLATFORM=offscreen $(BUILD)/tests/app/app_manual_screens $(BUILD)/rundata-manual docs/manual/images
	rm -rf $(BUILD)/records-shots
	QT_QPA_PLATFORM=offscreen DOVEX_RECORDS_SHOTS=$(BUILD)/records-shots \
	  $(BUILD)/tests/app/app_records_test readsAndListsEvents surveyIsTheLibrarys >/dev/null
	cp $(BUILD)/records-shots/records-window.png $(BUILD)/records-shots/survey-window.png docs/manual/images/

test-windows: build
	JOBS=$(JOBS) WERROR=$(WERROR) bash scripts/test-windows.sh $(WINDOWS_BUILD) $(BUILD)

package-windows: deps
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOVEX_WERROR=$(WERROR) >/dev/null
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target package-windows
	@ls -l $(WINDOWS_BUILD)/dovex-calc-*-win64.zip

bench: build
	$(BUILD)/bench/dovex_bench
	$(BUILD)/bench/dovex_window_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(ASAN_QT_BUILD) $(WINDOWS_BUILD) build-fuzz
