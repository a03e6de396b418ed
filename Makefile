# The two commands of the README, and a few more for development. Every target first
# runs the bootstrap, which installs what is missing (a second when all is there).

CMAKE ?= cmake
CTEST ?= ctest
PREFIX_DIR := build/cross/wineprefix

.PHONY: all bootstrap build native native-asan cross fuzz-build test demo bench fuzz lint clean

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

fuzz-build: bootstrap
	$(CMAKE) --preset fuzz >/dev/null
	$(CMAKE) --build --preset fuzz

build: cross

# Every test: the portable core natively (plain and under the sanitizers), the fuzz
# targets over their corpora, then the Windows-side tests, the core again and the
# end-to-end scenarios under Wine.
test: native native-asan fuzz-build cross
	$(CTEST) --preset native
	$(CTEST) --preset native-asan
	$(CTEST) --preset fuzz
	@scripts/wine-prefix.sh $(PREFIX_DIR)
	$(CTEST) --preset cross

# One run of Zentrak.exe /TestMode against the stand-in suite, and what it did.
demo: cross
	@scripts/wine-prefix.sh $(PREFIX_DIR)
	@/usr/bin/python3 tests/e2e/demo.py --build build/cross

# Each fuzz target explores for FUZZ_SECONDS from its seed corpus (kept in fuzz/corpus;
# what it finds goes to build/fuzz/corpus, crashing inputs to build/fuzz/artifacts).
FUZZ_SECONDS ?= 120
FUZZ_TARGETS := event_config state_time file_names documents base64
fuzz: fuzz-build
	@mkdir -p build/fuzz/artifacts
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t; \
	  echo "== fuzz_$$t ($(FUZZ_SECONDS) s)"; \
	  build/fuzz/fuzz/fuzz_$$t build/fuzz/corpus/$$t fuzz/corpus/$$t \
	    -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=build/fuzz/artifacts/$$t- \
	    -print_final_stats=1 2>&1 | grep -E '^(stat::number_of_executed_units|==|#.*DONE)|ERROR|SUMMARY' ; \
	done

# clang-tidy and cppcheck over the product's sources.
lint: native cross
	@scripts/lint.sh

# Benchmarks of the portable core, optimised; they print what they measured.
bench: bootstrap
	$(CMAKE) --preset bench >/dev/null
	$(CMAKE) --build --preset bench
	build/bench/bench/config_parse_bench

clean:
	@scripts/wine-prefix.sh $(PREFIX_DIR) stop
	rm -rf build
