BUILD ?= build
JOBS  ?= $(shell nproc)
# Instrumented builds live beside the plain one.
FUZZ_BUILD     ?= $(BUILD)-fuzz
SANITIZE_BUILD ?= $(BUILD)-sanitize
FUZZ_SECONDS   ?= 60
SANITIZE_ENV = ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1 \
    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all deps build test demo bench screenshots format clean fuzz test-sanitize

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	FUZZ_SECONDS=5 FUZZ_CORPUS=seeds JOBS=$(JOBS) scripts/fuzz $(FUZZ_BUILD)

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

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(SANITIZE_BUILD)
