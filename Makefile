# Build, test and run ZEVRIK on Debian (see README.md).
#   make test                        install what is missing, build, run every test
#   make run [PORTS="COM3=/dev/ttyUSB0"]  start ZEVRIK under Wine on a loopback COM1
BUILD ?= build
JOBS ?= 2
PYTHON ?= python3
PORTS ?=

NATIVE := $(BUILD)/native
WIN32 := $(BUILD)/win32
WIN64 := $(BUILD)/win64
# The Windows tree whose programs this machine runs: win32, or win64 on a
# kernel without 32-bit support.
WINE_TREE = $(shell $(PYTHON) scripts/zrig.py wine-tree $(BUILD))

.PHONY: all deps build test fuzz run clean

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

test: build
	@scripts/test-all.sh $(NATIVE) $(WINE_TREE)

fuzz:
	scripts/fuzz.sh

run: build
	@$(PYTHON) scripts/zrun $(WINE_TREE) --ports "$(PORTS)"

clean:
	rm -rf $(BUILD)
