# Halvorn build entry points. `make test` is the test command CI runs.
BUILD ?= build
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
# ccache, where installed, makes rebuilds in several checkouts cheap.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# Packages the tests alone need come with test-deps.
.PHONY: all deps test-deps test bench fuzz run release package clean format

all: release

deps:
	@scripts/install-deps

test-deps:
	@scripts/install-deps --for-tests

# Warnings as errors; the Debian package (which the tests check and, on CI,
# install), the playback tests under ThreadSanitizer (label "tsan"), then
# everything under AddressSanitizer + UndefinedBehaviorSanitizer.
test: test-deps
	$(MAKE) package
	cmake $(LAUNCHER) -S . -B $(BUILD)/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVORN_TSAN=ON -DHALVORN_GUI=OFF
	cmake --build $(BUILD)/tsan -j $(JOBS)
	cd $(BUILD)/tsan && ctest --output-on-failure -j $(JOBS) -L tsan --no-tests=ignore
	cmake $(LAUNCHER) -S . -B $(BUILD)/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVORN_SANITIZE=ON
	cmake --build $(BUILD)/asan -j $(JOBS)
	cd $(BUILD)/asan && HALVORN_DEB_DIR=$(abspath $(BUILD)) ctest --output-on-failure -j $(JOBS)

release: deps
	cmake $(LAUNCHER) -S . -B $(BUILD)/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVORN_TESTS=OFF
	cmake --build $(BUILD)/release -j $(JOBS)

# The Debian package, $(BUILD)/halvorn_VERSION_ARCH.deb: a Release build with
# Debian's hardening flags (dpkg-buildflags, debug info left out since the
# package ships stripped programs), libraries linked only when used.
DEB_FLAGS := DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
package: deps
	cmake $(LAUNCHER) -S . -B $(BUILD)/package -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DHALVORN_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_STRIP=$(CURDIR)/packaging/strip \
		-DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) dpkg-buildflags --get CPPFLAGS) $$($(DEB_FLAGS) dpkg-buildflags --get CXXFLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) dpkg-buildflags --get LDFLAGS) -Wl,--as-needed"
	cmake --build $(BUILD)/package -j $(JOBS)
	rm -f $(BUILD)/halvorn_*.deb $(BUILD)/package/halvorn_*.deb
	cd $(BUILD)/package && cpack -G DEB
	mv $(BUILD)/package/halvorn_*.deb $(BUILD)/

bench: deps
	cmake $(LAUNCHER) -S . -B $(BUILD)/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVORN_BENCH=ON -DHALVORN_TESTS=OFF
	cmake --build $(BUILD)/bench -j $(JOBS)
	$(BUILD)/bench/bench/halvorn_bench
	$(BUILD)/bench/bench/limiter_distortion
	$(BUILD)/bench/bench/stem_render_bench
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/bench/halvorn_ui_bench
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/bench/work_safety_timing
	/usr/bin/python3 bench/jack_playback_bench.py $(BUILD)/bench
	$(BUILD)/bench/bench/studio_sync_bench
	/usr/bin/python3 bench/musicxml_export_bench.py $(BUILD)/bench
	/usr/bin/python3 bench/playback_export_bench.py $(BUILD)/bench

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
