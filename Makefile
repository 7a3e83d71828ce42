# Front door of the project. `make demo` and `make test` install what they need by themselves.
#
#   make deps      install the Debian packages the build and the tests need (only the missing ones)
#   make build     configure and build everything (build/default)
#   make build-demo configure and build only what the demo needs (build/default)
#   make test      check the formatting, build and run every test, the interop tests with the real wine included,
#                  then the Qt-free core tests again under AddressSanitizer and UndefinedBehaviorSanitizer
#                  (build/sanitize)
#   make demo      build what the demo needs (not the tests), make the demo prefix and run the installer
#                  against it (see README)
#   make gallery   build the skin gallery and save it unskinned and skinned on the offscreen platform:
#                  build/gallery/gallery-unskinned.png, gallery-skinned.png and gallery-menu-skinned.png
#   make format    format every C++ file with clang-format; make format-check fails on unformatted ones
#   make tidy      run clang-tidy's fault checks over the sources (after make build)
#   make bench     build and run the benchmarks
#   make fuzz      build the fuzz targets with clang and run each for FUZZ_SECONDS seconds
#   make clean     remove build/

SHELL := /bin/bash
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

PACKAGES := cmake ninja-build g++ make pkg-config ccache git \
	qt6-base-dev libgl-dev libgtest-dev libgmock-dev libpugixml-dev \
	libcurl4-openssl-dev libssl-dev zlib1g-dev \
	wine wine64 libxml2-utils fonts-dejavu-core g++-mingw-w64-x86-64 clang-format
FUZZ_PACKAGES := clang libclang-rt-14-dev
TIDY_PACKAGES := clang-tidy

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps fuzz-deps tidy-deps build build-demo test test-default test-sanitize demo gallery bench fuzz format format-check tidy clean

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

tidy-deps:
	@missing=$$(for p in $(TIDY_PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

fuzz-deps:
	@missing=$$(for p in $(FUZZ_PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

test-default: build
	ctest --preset default -j $(JOBS)

test-sanitize: deps
	cmake --preset sanitize
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

test: format-check test-default test-sanitize

format: deps
	tools/format.sh

format-check: deps
	tools/format.sh check

tidy: build tidy-deps
	tools/tidy.sh build/default

# The installer, the demo's walk of it, the tools that make the demo prefix and pack the sample edition, the
# simulated compiler and the receiver of the installation report; every test is left out.
DEMO_TARGETS := tarvix-setup tarvix-setup-demo-walk tarvix-pack tarvix-demo-prefix tarvix-sim-dcc32 sample-edition \
	tarvix-report-receiver

build-demo: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target $(DEMO_TARGETS)

demo: build-demo
	tools/demo.sh build/default

gallery: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target tarvix-skin-gallery
	QT_QPA_PLATFORM=offscreen build/default/tools/tarvix-skin-gallery build/gallery

bench: build
	tools/bench.sh build/default

fuzz: fuzz-deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	tools/fuzz.sh build/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build
