# Build, test and run ZEVRIK on Debian (see README.md).
#   make test                        install what is missing, build, run every test
#   make test-shipped                the chosen e2e tests against the release exe (emulated here)
#   make run [PORTS="COM3=/dev/ttyUSB0"]  start ZEVRIK under Wine on a loopback COM1
#   make dist                        release zip, installer and SHA256SUMS in dist/,
#                                    checked against a rebuild from a clean clone
#   make screenshots                 the guide's pictures from the last end-to-end run
BUILD ?= build
JOBS ?= 2
PYTHON ?= python3
PORTS ?=

NATIVE := $(BUILD)/native
WIN32 := $(BUILD)/win32
WIN64 := $(BUILD)/win64
# The release: an optimised, stripped i686 tree of its own (the product and
# the end-to-end test's helpers, which make test runs against the very exe
# that ships), and a plain native tree for the tool that writes the examples.
DIST_WIN32 := $(BUILD)/dist/win32
DIST_TOOLS := $(BUILD)/dist/native
# The Windows tree whose programs this machine runs: win32, or win64 on a
# kernel without 32-bit support.
WINE_TREE = $(shell $(PYTHON) scripts/zrig.py wine-tree $(BUILD))

.PHONY: all deps build dist-tree test test-shipped fuzz run dist dist-files screenshots clean

all: build

deps:
	@scripts/deps.sh

build: deps
	cmake -S . -B $(NATIVE) -DZEVRIK_SANITIZE=ON
	cmake --build $(NATIVE) -j$(JOBS)
	cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake
	cmake --build $(WIN32) -j$(JOBS)
	@if [ "$(WINE_TREE)" = "$(WIN64)" ]; then \
	    echo "This kernel runs no 32-bit code: Wine tests use the x86-64 build in $(WIN64)"; \
	    cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake && \
	    cmake --build $(WIN64) -j$(JOBS); \
	fi

dist-tree: deps
	cmake -S . -B $(DIST_WIN32) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	    -DCMAKE_BUILD_TYPE=Release
	cmake --build $(DIST_WIN32) -j$(JOBS) --target zevrik zdrive zrig_lines
	cmake -S . -B $(DIST_TOOLS) -DZEVRIK_SANITIZE=OFF
	cmake --build $(DIST_TOOLS) -j$(JOBS) --target zevrik_csi_examples

test: build dist-tree
	@scripts/test-all.sh $(NATIVE) $(WINE_TREE) $(DIST_WIN32)

# The chosen end-to-end tests against the exe and installer that ship, in an
# emulated guest where this kernel runs no 32-bit code (scripts/zvm.py).
test-shipped: dist-tree
	@scripts/test-shipped.sh $(DIST_WIN32)

fuzz:
	scripts/fuzz.sh

run: build
	@$(PYTHON) scripts/zrun $(WINE_TREE) --ports "$(PORTS)"

# Every time in the release files is the last commit's.
dist-files: dist-tree
	$(PYTHON) scripts/check-product.py $(DIST_WIN32)/src/zevrik.exe
	SOURCE_DATE_EPOCH=$$(git log -1 --format=%ct) \
	    $(PYTHON) scripts/dist.py --tree $(DIST_WIN32) --tools $(DIST_TOOLS) --out dist

dist: dist-files
	scripts/dist-check.sh dist

screenshots:
	$(PYTHON) scripts/screenshots.py $(WINE_TREE)/screenshots docs/images

clean:
	rm -rf $(BUILD) dist
