# Thin wrappers; CMake does the real work.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run demo test bench clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@$(BUILD)/bin/Quillfen

# The conversion and its decoding from the command line, without a window.
demo: build
	@bash scripts/demo.sh $(BUILD)/bin

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: configure
	@bash scripts/install-deps.sh sox minimodem || echo "bench: sox/minimodem not installed; comparing with what is here"
	@cmake --build $(BUILD) -j$(JOBS)
	@bash bench/run.sh $(BUILD)/bin

clean:
	@rm -rf $(BUILD)
