# The two commands of the README, and a few more for development. Every target first
# runs the bootstrap, which installs what is missing (a second when all is there).
#
# Two cross builds of the same sources: `cross` (i686) is the product, Zentrak.exe;
# `cross-x64` is the x86-64 test build, for machines whose kernel runs no i386 code. The
# Windows-side suite runs on the one this machine can run (scripts/windows-arch.sh);
# WINDOWS_ARCH=x86 or WINDOWS_ARCH=x64 forces one.

CMAKE ?= cmake
CTEST ?= ctest
WINDOWS_ARCH ?=
export CMAKE CTEST WINDOWS_ARCH

.PHONY: all bootstrap windows-arch build native native-asan cross cross-x64 fuzz-build test demo bench fuzz lint clean release sign verify-release chaos

all: build

bootstrap:
	@scripts/bootstrap.sh

# Stops at once when a forced WINDOWS_ARCH cannot run here.
windows-arch: bootstrap
	@scripts/windows-arch.sh --check

native: bootstrap
	$(CMAKE) --preset native >/dev/null
	$(CMAKE) --build --preset native

native-asan: bootstrap
	$(CMAKE) --preset native-asan >/dev/null
	$(CMAKE) --build --preset native-asan

cross: bootstrap
	$(CMAKE) --preset cross >/dev/null
	$(CMAKE) --build --preset cross

cross-x64: bootstrap
	$(CMAKE) --preset cross-x64 >/dev/null
	$(CMAKE) --build --preset cross-x64

fuzz-build: bootstrap
	$(CMAKE) --preset fuzz >/dev/null
	$(CMAKE) --build --preset fuzz

build: cross

# Every test: the portable core natively (plain and under the sanitizers), the fuzz
# targets over their corpora, the product file's checks (no Wine), then under Wine the
# Windows-side tests, the core again and the end-to-end scenarios.
test: windows-arch native native-asan fuzz-build cross cross-x64
	$(CTEST) --preset native
	$(CTEST) --preset native-asan
	$(CTEST) --preset fuzz
	$(CTEST) --preset cross -L '^product$$'
	@scripts/windows-suite.sh test

# Runs of Zentrak.exe /TestMode against the stand-in suite, and what they did.
demo: windows-arch
	@scripts/windows-suite.sh demo

# The release: dist/zentrak-<version>/ and its zip, from the product's own build (which is
# reproducible: the same commit and settings give the same bytes anywhere). Refuses a tree
# with uncommitted changes; prints the SHA-256 of Zentrak.exe last.
release: cross
	@/usr/bin/python3 scripts/release.py --build build/cross --out dist

# Signs the released program with Authenticode: make sign CERT=cert.pem KEY=key.pem
# [TIMESTAMP_URL=http://...]. Writes dist/zentrak-<version>-signed/Zentrak.exe.
sign: release
	@version=$$(sed -n 's/.*"version": "\([^"]*\)".*/\1/p' build/cross/release.json); \
	scripts/sign.sh dist/zentrak-$$version/Zentrak.exe dist/zentrak-$$version-signed/Zentrak.exe \
	  "$(CERT)" "$(KEY)" "$(TIMESTAMP_URL)"

# Checks a shipped Zentrak.exe (signed or not) against this commit's release: make
# verify-release FILE=path/to/Zentrak.exe
verify-release: release
	@scripts/verify-release.sh "$(FILE)"

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

# The chaos campaign: whole runs under many faults at once, CHAOS_SECONDS long, from a
# random seed (CHAOS_SEED replays one), CHAOS_LANES side by side, on the build this
# machine runs the Windows-side suite on. It prints its figures and every failing seed.
CHAOS_SECONDS ?= 180
CHAOS_LANES ?= 2
CHAOS_SEED ?=
chaos: windows-arch cross cross-x64
	@arch=$$(scripts/windows-arch.sh); tree=$$([ "$$arch" = x86 ] && echo cross || echo cross-x64); \
	scripts/wine-prefix.sh --arch $$arch build/$$tree/wineprefix && \
	/usr/bin/python3 tests/chaos/campaign.py --build build/$$tree --seconds $(CHAOS_SECONDS) \
	  --lanes $(CHAOS_LANES) $(if $(CHAOS_SEED),--seed $(CHAOS_SEED)) --figures build/$$tree/chaos-figures.json

# clang-tidy and cppcheck over the product's sources.
lint: native cross
	@scripts/lint.sh

# Benchmarks of the portable core, optimised; they print what they measured.
bench: bootstrap
	$(CMAKE) --preset bench >/dev/null
	$(CMAKE) --build --preset bench
	build/bench/bench/config_parse_bench

# Stops the servers of every prefix the builds made (the shared ones and the scenario
# files' own), then removes the builds.
clean:
	@for p in build/cross/wineprefix build/cross/e2e-prefixes/*; do \
	  [ -d "$$p" ] && scripts/wine-prefix.sh --arch x86 "$$p" stop; done; true
	@for p in build/cross-x64/wineprefix build/cross-x64/e2e-prefixes/*; do \
	  [ -d "$$p" ] && scripts/wine-prefix.sh --arch x64 "$$p" stop; done; true
	rm -rf build
