# Front commands. `make test` and `make run` set up everything they need.
BUILD := build
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps build host x86_64 i686 test test-host test-windows test-fuzz fuzz fuzz-build run dist clean

all: build

deps:
	@./tools/install-deps

host: deps
	cmake -S . -B $(BUILD)/host $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD)/host

x86_64: deps
	cmake -S . -B $(BUILD)/x86_64 $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
	cmake --build $(BUILD)/x86_64

i686: deps
	cmake -S . -B $(BUILD)/i686 $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	cmake --build $(BUILD)/i686

# Both Windows programs, out/x86_64/P_nolvara.exe and out/i686/P_nolvara.exe.
build: host x86_64 i686

test-host: host
	ctest --test-dir $(BUILD)/host --output-on-failure -j2

# Imports of both programs, the backend tests and the end-to-end scenarios under Wine.
# Two at a time: each scenario has its own prefix, namespace and display, and
# most of their time is waiting on the program.
test-windows: x86_64 i686
	ctest --test-dir $(BUILD)/i686 --output-on-failure
	ctest --test-dir $(BUILD)/x86_64 --output-on-failure -j2

# libFuzzer over every parser of outside input, on the host build of the logic.
FUZZ_SECONDS ?= 60

fuzz-build: deps
	cmake -S . -B $(BUILD)/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DNOLVARA_FUZZ=ON >/dev/null
	cmake --build $(BUILD)/fuzz --target fuzzers

fuzz: fuzz-build
	./tools/run-fuzz $(BUILD)/fuzz $(FUZZ_SECONDS)

test-fuzz: FUZZ_SECONDS = 10
test-fuzz: fuzz-build
	./tools/run-fuzz $(BUILD)/fuzz $(FUZZ_SECONDS)

test: test-host test-windows test-fuzz

# WAY=wifi (default): Windows of today, through the Native Wifi stand-in;
# WAY=xp: Windows XP's wireless service.
WAY ?= wifi
run: x86_64
	WAY=$(WAY) ./tools/run-sandbox out/x86_64/P_nolvara.exe

# The release archive in out/dist/; with NOLVARA_SIGNING_KEY naming the release
# private key, the update server's files too (see README.md).
dist: build
	./tools/make-dist

clean:
	rm -rf $(BUILD) out
