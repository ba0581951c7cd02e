# A thin front over the CMake presets. `make demo` and `make test` do the whole
# set-up on a fresh Debian machine: missing packages are installed when running
# as root, otherwise named with the command that installs them.

PACKAGES := cmake ninja-build g++ clang pkg-config binutils libgtest-dev libbenchmark-dev libspdlog-dev
# The code-page tables' generator: glibc's charmaps and the system's Python.
PACKAGES += locales python3
# Benchmark and fuzz-target anchors of the ciphers, digests and checksums; the library never links them.
PACKAGES += libssl-dev zlib1g-dev
COVERAGE_PACKAGES := gcovr
# The allocators the memory benchmarks are also run over (preloaded), beside
# glibc's; for benchmarks only, the library never links them.
BENCH_PACKAGES := libmimalloc2.0 libjemalloc2
# The Windows build: MinGW-w64 (POSIX threads model) cross-compiles, Wine runs
# the results, and GoogleTest's sources are cross-built with the tests.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wine64 googletest
# CPack's Debian generator reads dependencies with dpkg-shlibdeps and file types with file.
PACKAGE_PACKAGES := dpkg-dev file fakeroot doxygen
# The binary-interface check reads the library with libabigail's abidw and abidiff.
ABI_PACKAGES := abigail-tools
# The reference is built with Doxygen.
DOCS_PACKAGES := doxygen
# The 64-bit ARM Linux build: Debian's cross compiler and arm64 C library,
# qemu's user-mode emulator to run the results, GoogleTest's sources.
ARM64_PACKAGES := g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user googletest
JOBS ?= 2

WINDOWS_BUILD := build/windows
ARM64_BUILD := build/arm64

.PHONY: windows windows-test windows-demo windows-prereqs
.PHONY: arm64 arm64-test arm64-demo arm64-prereqs
.PHONY: all demo test test-shuffled install-packages build asan tsan clang coverage bench install-check prereqs format clean \
        tables check-tables package
.PHONY: fuzz stress exit-check ct-check fault-sweep
.PHONY: abi-build abi-check abi-baseline docs

all: build

prereqs:
	@$(MAKE) --no-print-directory install-packages NEED="$(PACKAGES)"

# Packages are Debian's names. Where there is no dpkg-query (another
# distribution, macOS), nothing is installed: the list is printed as what the
# build wants, and the build goes on with whatever CMake finds.
install-packages:
	@if ! command -v dpkg-query >/dev/null 2>&1; then \
	    echo "No dpkg-query here, so no package is checked or installed."; \
	    echo "This step wants (Debian package names; install your system's equivalents): $(strip $(NEED))"; \
	    echo "Going on with what CMake finds: it names what is missing."; \
	    exit 0; \
	fi; \
	missing=""; for p in $(NEED); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    if [ "$$(id -u)" = 0 ]; then \
	        echo "Installing:$$missing"; \
	        (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing) || exit 1; \
	    else \
	        echo "Missing packages:$$missing"; \
	        echo "Install them with: sudo apt-get install -y$$missing"; exit 1; \
	    fi; \
	fi

build: prereqs
	cmake --preset default
	cmake --build --preset default -j $(JOBS)
	@ln -sf build/default/compile_commands.json compile_commands.json

demo: build
	./build/default/examples/DemoHost

test: build
	ctest --preset default

# Every test program again, in random order and three times over, so that no
# test relies on another having run first.
test-shuffled: build
	./tests/run-shuffled build/default

# Line and branch coverage of the library's sources by the unit tests. The
# instrumented build is unoptimised; counters are cleared before every run.
COVERAGE_DIR := build/coverage
GCOVR := gcovr --root . --exclude-throw-branches --exclude-unreachable-branches
coverage: prereqs
	@$(MAKE) --no-print-directory install-packages NEED="$(COVERAGE_PACKAGES)"
	cmake --preset coverage
	cmake --build --preset coverage -j $(JOBS)
	find $(COVERAGE_DIR) -name '*.gcda' -delete
	ctest --preset coverage
	$(GCOVR) --object-directory $(COVERAGE_DIR) -j $(JOBS) --filter 'Src/' --filter 'include/' \
	    --json $(COVERAGE_DIR)/coverage.json
	@echo "== Src/ (per file: $(COVERAGE_DIR)/coverage-src.txt)"
	@$(GCOVR) --add-tracefile $(COVERAGE_DIR)/coverage.json --filter 'Src/' \
	    --txt $(COVERAGE_DIR)/coverage-src.txt --print-summary | grep -E '^(lines|branches):'
	@echo "== include/ (header-only templates; per file: $(COVERAGE_DIR)/coverage-include.txt)"
	@$(GCOVR) --add-tracefile $(COVERAGE_DIR)/coverage.json --filter 'include/' \
	    --txt $(COVERAGE_DIR)/coverage-include.txt --print-summary | grep -E '^(lines|branches):'

asan: prereqs
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan

tsan: prereqs
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan

clang: prereqs
	cmake --preset clang
	cmake --build --preset clang -j $(JOBS)

bench: build
	@for b in build/default/bench/*Bench; do echo "== $$b"; $$b --benchmark_min_time=0.2; done

# Every measure of the performance table beside its anchor, from the same run,
# with repetitions: prints the table of ratios (ours / theirs) and goals, the
# memory programs' rows once with glibc's malloc and once each with mimalloc
# and jemalloc preloaded. bench-report-realistic prints the realistic
# workloads' rows only.
.PHONY: bench-report bench-report-realistic bench-prereqs
BENCH_REPETITIONS ?= 3
bench-prereqs:
	@$(MAKE) --no-print-directory install-packages NEED="$(BENCH_PACKAGES)"

bench-report: build bench-prereqs
	/usr/bin/python3 tools/bench_report.py --build build/default --repetitions $(BENCH_REPETITIONS)

bench-report-realistic: build bench-prereqs
	/usr/bin/python3 tools/bench_report.py --build build/default --repetitions $(BENCH_REPETITIONS) --realistic

install-check: build
	./.ci/install-check

# Generated sources are written by their generators, not formatted.
GENERATED := ':!:Src/Utils/Charset/*'
format:
	clang-format -i $$(git ls-files '*.h' '*.cpp' $(GENERATED))

# The code-page tables under Src/Utils/Charset, written from glibc's charmaps;
# tools/charset_sources.txt records the glibc release and the charmaps'
# checksums. check-tables regenerates the tables into a temporary folder and
# fails on any difference from the committed files; charmaps of another
# release that give the same tables pass, with a note.
CHARSET_TABLES := Src/Utils/Charset
CHARSET_SOURCES := tools/charset_sources.txt
tables: prereqs
	/usr/bin/python3 tools/charset_tables.py --out $(CHARSET_TABLES) --sources $(CHARSET_SOURCES)

check-tables: prereqs
	@tmp=$$(mktemp -d) && trap 'rm -rf "$$tmp"' EXIT && \
	/usr/bin/python3 tools/charset_tables.py --out "$$tmp/tables" --sources "$$tmp/sources.txt" && \
	diff -r "$$tmp/tables" $(CHARSET_TABLES) && echo "code-page tables match their generator" && \
	{ diff -u $(CHARSET_SOURCES) "$$tmp/sources.txt" >"$$tmp/sources.diff" || \
	  { echo "note: the charmaps here are not those recorded in $(CHARSET_SOURCES), yet give the same tables:"; \
	    cat "$$tmp/sources.diff"; }; }

# ---- The binary interface: abi/Dozuv2.abi records what libDozuv2.so
# offers; abi-check builds the library (abi preset: g++, unoptimised, with
# debug information) and fails on any incompatible change to it unless the
# SONAME's major number changed; abi-baseline records a deliberate change.
abi-build: prereqs
	@$(MAKE) --no-print-directory install-packages NEED="$(ABI_PACKAGES)"
	cmake --preset abi
	cmake --build --preset abi -j $(JOBS)

abi-check: abi-build
	./tools/abi check build/abi

abi-baseline: abi-build
	./tools/abi baseline build/abi

# The HTML reference of the public headers in build/docs/html; any Doxygen
# warning (an exported name without documentation among them) fails it.
docs:
	@$(MAKE) --no-print-directory install-packages NEED="$(DOCS_PACKAGES)"
	./docs/run-doxygen build/docs

# ---- Reliability: fuzzing, stress and the clean exit ----
# Every fuzz target for FUZZ_SECONDS each (libFuzzer, clang, ASan + UBSan);
# every stress program for STRESS_SECONDS each in the normal and the
# ThreadSanitizer build; the example host and an exit with everything still
# running under valgrind; the constant-time check of the portable AES path.
FUZZ_SECONDS ?= 60
STRESS_SECONDS ?= 60
FUZZ_PACKAGES := clang libclang-rt-14-dev
EXIT_CHECK_PACKAGES := valgrind
STRESS_PROGRAMS := $(notdir $(basename $(wildcard stress/*Stress.cpp)))

fuzz: prereqs
	@$(MAKE) --no-print-directory install-packages NEED="$(FUZZ_PACKAGES)"
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	./fuzz/run build/fuzz $(FUZZ_SECONDS)

stress: prereqs
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target $(STRESS_PROGRAMS)
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS) --target $(STRESS_PROGRAMS)
	./stress/run build/default $(STRESS_SECONDS)
	./stress/run build/tsan $(STRESS_SECONDS)

exit-check: build
	@$(MAKE) --no-print-directory install-packages NEED="$(EXIT_CHECK_PACKAGES)"
	./stress/exit-check build/default

# The portable AES path under valgrind's memcheck with the key, IV and data
# marked undefined: fails on any branch or memory address that depends on them.
# The client-request header comes with valgrind, so the package is installed
# before the build looks for it.
CT_CHECK_PACKAGES := valgrind
ct-check: prereqs
	@$(MAKE) --no-print-directory install-packages NEED="$(CT_CHECK_PACKAGES)"
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target AesConstantTime
	./ctcheck/run build/default

# The allocation-failure sweep: the fault scenario once for every allocation
# it makes, failing that one (then every one from there on), under each
# packet-manager policy; fails unless every run ends normally or through the
# library's assertion report.
fault-sweep: prereqs
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target FaultScenario
	/usr/bin/python3 faults/sweep build/default --jobs $(JOBS)
	/usr/bin/python3 faults/sweep build/default --jobs $(JOBS) --persistent

clean:
	rm -rf build compile_commands.json

# ---- Windows: Dozuv2.dll, its tests and the example host, cross-built with
# MinGW-w64 and run under Wine in a scratch prefix of the build folder ----
windows-prereqs: prereqs
	@$(MAKE) --no-print-directory install-packages NEED="$(WINDOWS_PACKAGES)"

windows: windows-prereqs
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS)

windows-test: windows
	ctest --preset windows

windows-demo: windows
	./cmake/wine-run $(WINDOWS_BUILD)/wineprefix $(WINDOWS_BUILD)/examples/DemoHost.exe

# ---- 64-bit ARM Linux: the library, its tests and the example host,
# cross-built with Debian's aarch64 GCC and run under qemu-aarch64 ----
arm64-prereqs: prereqs
	@$(MAKE) --no-print-directory install-packages NEED="$(ARM64_PACKAGES)"

arm64: arm64-prereqs
	cmake --preset arm64
	cmake --build --preset arm64 -j $(JOBS)

arm64-demo: arm64
	./cmake/qemu-run $(ARM64_BUILD)/examples/DemoHost

# The tests and then the example host.
arm64-test: arm64
	ctest --preset arm64
	./cmake/qemu-run $(ARM64_BUILD)/examples/DemoHost
# Debian packages (runtime libdozuv2-N, libdozuv2-dev and the reference in
# libdozuv2-doc) of a release build for /usr, written to build/package/packages/.
package: prereqs
	@$(MAKE) --no-print-directory install-packages NEED="$(PACKAGE_PACKAGES)"
	cmake --preset package
	cmake --build --preset package -j $(JOBS)
	./docs/run-doxygen build/package/docs
	rm -f build/package/packages/*.deb
	cd build/package && cpack -G DEB
	@cd build/package/packages && for d in *.deb; do echo "== $$d"; dpkg-deb -f $$d Package Version Depends; done
