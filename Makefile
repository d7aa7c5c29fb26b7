# Velandora: the two set-up commands are `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build test run bench clean

all: build

deps:
	@scripts/install-deps.sh build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	@scripts/fetch-test-photos.sh $(BUILD)/testdata || echo "test photographs unavailable: photo tests will be skipped" >&2
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Builds the player and the kit, makes the demo show once in $(BUILD)/demo,
# and plays it from there.
run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target velandora velkit
	@test -f $(BUILD)/demo/velandora.lcc || $(BUILD)/kit/velkit demo $(BUILD)/demo
	cd $(BUILD)/demo && $(abspath $(BUILD))/app/velandora

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD)
