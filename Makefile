BUILD ?= build
JOBS  ?= $(shell nproc)
# The Windows program, cross-built with mingw-w64 and tested under Wine.
WIN_BUILD ?= build-win
# Instrumented builds live beside the plain one.
FUZZ_BUILD     ?= $(BUILD)-fuzz
SANITIZE_BUILD ?= $(BUILD)-sanitize
FUZZ_SECONDS   ?= 60
SANITIZE_ENV = ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1:fast_unwind_on_malloc=0 \
    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all deps build test demo bench screenshots format clean fuzz test-sanitize \
	windows windows-installer test-windows deb screenshots-windows

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Both builds and their tests, overlapped (scripts/test-all).
test: deps $(BUILD)/build.ninja $(WIN_BUILD)/build.ninja
	BUILD=$(BUILD) WIN_BUILD=$(WIN_BUILD) JOBS=$(JOBS) scripts/test-all

$(WIN_BUILD)/build.ninja: CMakeLists.txt cmake/mingw-w64.cmake
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DPLENVO_LINUX_PROGRAM=$(CURDIR)/$(BUILD)/bin/PlenvoBackupMng

windows: deps $(WIN_BUILD)/build.ninja
	cmake --build $(WIN_BUILD) -j $(JOBS)

windows-installer: windows
	scripts/make-installer $(WIN_BUILD)

# The headless console as a Debian package with its systemd unit,
# $(BUILD)/plenvo-backup-mng_VERSION_amd64.deb, and the desktop's tray that
# leads to it, $(BUILD)/plenvo-backup-mng-desktop_VERSION_amd64.deb.
deb: build
	scripts/make-deb $(BUILD)/bin/PlenvoBackupMng $(BUILD)

test-windows: windows-installer
	cd $(WIN_BUILD) && ctest --output-on-failure -j $(JOBS)

fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) scripts/fuzz $(FUZZ_BUILD)

$(SANITIZE_BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLENVO_SANITIZE=ON

# Test discovery runs the test programs while building, so they see the options too.
test-sanitize: deps $(SANITIZE_BUILD)/build.ninja
	$(SANITIZE_ENV) cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

demo: build
	scripts/demo

bench: build
	scripts/bench

screenshots: build
	scripts/screenshots

# The same pictures of the Windows program, under Wine.
screenshots-windows: windows
	WIN_BUILD=$(WIN_BUILD) scripts/screenshots-windows

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(WIN_BUILD) $(FUZZ_BUILD) $(SANITIZE_BUILD)
