# Halvorn build entry points. `make test` is the test command CI runs.
BUILD ?= build
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
# ccache, where installed, makes rebuilds in several checkouts cheap.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# Packages the tests alone need come with test-deps.
.PHONY: all deps test-deps test bench fuzz run release clean format

all: release

deps:
	@scripts/install-deps

test-deps:
	@scripts/install-deps --for-tests

# Warnings as errors; the playback tests under ThreadSanitizer (label "tsan"),
# then everything under AddressSanitizer + UndefinedBehaviorSanitizer.
test: test-deps
	cmake $(LAUNCHER) -S . -B $(BUILD)/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVORN_TSAN=ON -DHALVORN_GUI=OFF
	cmake --build $(BUILD)/tsan -j $(JOBS)
	cd $(BUILD)/tsan && ctest --output-on-failure -j $(JOBS) -L tsan --no-tests=ignore
	cmake $(LAUNCHER) -S . -B $(BUILD)/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVORN_SANITIZE=ON
	cmake --build $(BUILD)/asan -j $(JOBS)
	cd $(BUILD)/asan && ctest --output-on-failure -j $(JOBS)

release: deps
	cmake $(LAUNCHER) -S . -B $(BUILD)/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVORN_TESTS=OFF
	cmake --build $(BUILD)/release -j $(JOBS)

bench: deps
	cmake $(LAUNCHER) -S . -B $(BUILD)/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVORN_BENCH=ON -DHALVORN_TESTS=OFF
	cmake --build $(BUILD)/bench -j $(JOBS)
	$(BUILD)/bench/bench/halvorn_bench
	/usr/bin/python3 bench/jack_playback_bench.py $(BUILD)/bench
	/usr/bin/python3 bench/musicxml_export_bench.py $(BUILD)/bench

# Bounded libFuzzer runs (clang, ASan + UBSan); FUZZ_SECONDS per target.
fuzz: deps
	CXX=clang++ cmake $(LAUNCHER) -S . -B $(BUILD)/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVORN_FUZZ=ON -DHALVORN_SANITIZE=ON -DHALVORN_TESTS=OFF
	cmake --build $(BUILD)/fuzz -j $(JOBS)
	scripts/run-fuzzers $(BUILD)/fuzz $(FUZZ_SECONDS)

run: release
	@scripts/run-demo $(BUILD)/release

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
