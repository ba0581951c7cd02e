# A thin front over the CMake presets. `make demo` and `make test` do the whole
# set-up on a fresh Debian machine: missing packages are installed when running
# as root, otherwise named with the command that installs them.

PACKAGES := cmake ninja-build g++ clang pkg-config binutils libgtest-dev libbenchmark-dev libspdlog-dev
JOBS ?= 2

.PHONY: all demo test build asan tsan clang bench install-check prereqs format clean

all: build

prereqs:
	@missing=""; for p in $(PACKAGES); do \
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

install-check: build
	./.ci/install-check

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf build compile_commands.json
