# Entry points. `make demo` and `make test` do all set-up on a fresh Debian 12 machine (as root).
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: setup configure build build-command demo test test-asan bench sample clean

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The demo needs only the command and the libraries it links, not the test suite.
build-command: configure
	@cmake --build $(BUILD) -j $(JOBS) --target sumora

sample: build-command
	@$(BUILD)/bin/sumora sample --out data

demo: sample
	@bash scripts/demo.sh $(BUILD)

test: build
	@bash scripts/run-tests.sh $(BUILD)

# The whole suite once more under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
test-asan: setup
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSUMORA_SANITIZE=ON -DSUMORA_BUILD_BENCH=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@bash scripts/run-tests.sh $(ASAN_BUILD)

bench: build
	@bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
