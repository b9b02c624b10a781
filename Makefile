# Thin wrappers; CMake does the real work.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run demo test test-asan fuzz package bench format lint clean windows test-windows

all: build

# The package test (root and QUILLFEN_TEST_PACKAGE=1, as CI runs) needs the packaging tools too.
deps:
	@bash scripts/install-deps.sh $(if $(filter 1,$(QUILLFEN_TEST_PACKAGE)),package-test)

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@$(BUILD)/bin/Quillfen

# The conversion and its decoding from the command line, without a window.
demo: build
	@bash scripts/demo.sh $(BUILD)/bin

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer, in a build of their own.
test-asan: deps
	@cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLFEN_SANITIZE=ON $(CMAKE_FLAGS)
	@cmake --build $(BUILD)-asan -j$(JOBS)
	@cd $(BUILD)-asan && LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --output-on-failure -j$(JOBS)

# The fuzz targets under libFuzzer, ASan and UBSan, built with clang in a build of their own; each
# runs FUZZ_SECONDS from its kept corpus. Ordinary builds replay the corpora as tests.
FUZZ_SECONDS ?= 60
fuzz:
	@bash scripts/install-deps.sh fuzzing
	@cmake -S . -B $(BUILD)-fuzz -DCMAKE_CXX_COMPILER=clang++ -DQUILLFEN_FUZZ=ON -DQUILLFEN_BUILD_GUI=OFF $(CMAKE_FLAGS)
	@cmake --build $(BUILD)-fuzz -j$(JOBS) --target fuzz_targets
	@bash scripts/fuzz.sh $(BUILD)-fuzz $(FUZZ_SECONDS)

# A .deb of the build, left here for: sudo apt install ./quillfen_*.deb
package:
	@bash scripts/install-deps.sh packaging
	@$(MAKE) --no-print-directory build
	@cd $(BUILD) && cpack
	@rm -f quillfen_*.deb
	@mv $(BUILD)/quillfen_*.deb .
	@ls quillfen_*.deb

# The peers go in before CMake looks for them. The bench programs are built only here.
bench: deps
	@bash scripts/install-deps.sh sox minimodem pkg-config libspandsp-dev pulseaudio pulseaudio-utils || echo "bench: peers not installed; comparing with what is here"
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	@cmake --build $(BUILD) -j$(JOBS)
	@cmake --build $(BUILD) -j$(JOBS) --target bench_programs
	@bash bench/run.sh $(BUILD)/bin

# 64-bit Windows, cross-built with mingw-w64 into build-windows/ (not part of make test or CI: the
# first build of Qt for it takes most of an hour). WINDOWS_PARTS=qt-free builds what needs no Qt.
WINDOWS_BUILD ?= build-windows
WINDOWS_PARTS ?= all
windows: deps
	@JOBS=$(JOBS) CMAKE_FLAGS="$(CMAKE_FLAGS)" bash scripts/windows/build.sh $(WINDOWS_BUILD) $(WINDOWS_PARTS)

# The Windows build's tests under wine.
test-windows: windows
	@bash scripts/windows/test.sh $(WINDOWS_BUILD)

format:
	@bash scripts/install-deps.sh clang-format
	@git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'resources/*.cpp' \
		| xargs clang-format -i

lint: configure
	@bash scripts/install-deps.sh clang-format clang-tidy
	@cmake --build $(BUILD) -j$(JOBS)
	@bash scripts/lint.sh $(BUILD) $(JOBS)

clean:
	@rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-fuzz $(WINDOWS_BUILD) quillfen_*.deb
