# Velandora: the two set-up commands are `make run` and `make test`.
BUILD ?= build
WINDOWS_BUILD ?= build-windows
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build test run bench clean windows sanitize fuzz

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DVEL_WINDOWS_BUILD=$(abspath $(WINDOWS_BUILD))

build: deps $(BUILD)/CMakeCache.txt
	@scripts/fetch-test-photos.sh $(BUILD)/testdata || echo "test photographs unavailable: photo tests will be skipped" >&2
	cmake --build $(BUILD) -j $(JOBS)

# The Windows build is tested too: its own tests and the player run under Wine.
test: build windows
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# velandora.exe and velkit.exe, cross-compiled with MinGW-w64 and linked statically.
windows: deps
	@test -f $(WINDOWS_BUILD)/CMakeCache.txt || cmake -S . -B $(WINDOWS_BUILD) \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DVEL_BUILD_BENCH=OFF
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# Builds the player and the kit, makes the demo show once in $(BUILD)/demo,
# and plays it from there.
run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target velandora velkit
	@test -f $(BUILD)/demo/velandora.lcc || $(BUILD)/kit/velkit demo $(BUILD)/demo
	cd $(BUILD)/demo && $(abspath $(BUILD))/app/velandora

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

# The whole suite under AddressSanitizer + UndefinedBehaviorSanitizer, then the
# audio tests under ThreadSanitizer (scripts/sanitize.sh).
sanitize: deps
	@scripts/sanitize.sh

# Fuzzes every input the player parses for FUZZ_SECONDS each (tests/fuzz).
FUZZ_SECONDS ?= 60
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz.sh

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD)
