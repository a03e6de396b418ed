# The two commands of the README, and a few more for development. Every target first
# runs the bootstrap, which installs what is missing (a second when all is there).

CMAKE ?= cmake
CTEST ?= ctest
PREFIX_DIR := build/cross/wineprefix

.PHONY: all bootstrap build native native-asan cross test demo bench clean

all: build

bootstrap:
	@scripts/bootstrap.sh

native: bootstrap
	$(CMAKE) --preset native >/dev/null
	$(CMAKE) --build --preset native

native-asan: bootstrap
	$(CMAKE) --preset native-asan >/dev/null
	$(CMAKE) --build --preset native-asan

cross: bootstrap
	$(CMAKE) --preset cross >/dev/null
	$(CMAKE) --build --preset cross

build: cross

# Every test: the portable core natively (plain and under the sanitizers), then the
# Windows-side tests, the core again and the end-to-end scenarios under Wine.
test: native native-asan cross
	$(CTEST) --preset native
	$(CTEST) --preset native-asan
	@scripts/wine-prefix.sh $(PREFIX_DIR)
	$(CTEST) --preset cross

# One run of Zentrak.exe /TestMode against the stand-in suite, and what it did.
demo: cross
	@scripts/wine-prefix.sh $(PREFIX_DIR)
	@/usr/bin/python3 tests/e2e/demo.py --build build/cross

# Benchmarks of the portable core, optimised; they print what they measured.
bench: bootstrap
	$(CMAKE) --preset bench >/dev/null
	$(CMAKE) --build --preset bench
	build/bench/bench/config_parse_bench

clean:
	@scripts/wine-prefix.sh $(PREFIX_DIR) stop
	rm -rf build
