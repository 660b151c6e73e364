# Thin wrapper around CMake: the native build in build/, the receiver (mipsel)
# build in build-mips/.
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps build build-mips test test-native test-mips demo format clean

all: build

deps:
	@bash tools/deps.sh

build/build.ninja:
	cmake -S . -B build -G Ninja $(CMAKE_FLAGS)

build-mips/build.ninja:
	cmake -S . -B build-mips -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mipsel.cmake $(CMAKE_FLAGS)

build: deps build/build.ninja
	cmake --build build -j $(JOBS)

build-mips: deps build-mips/build.ninja
	cmake --build build-mips -j $(JOBS)

test-native: build
	ctest --test-dir build --output-on-failure -j $(JOBS)

test-mips: build-mips
	ctest --test-dir build-mips --output-on-failure -j $(JOBS)

test: test-native test-mips

demo: build
	bash tools/demo.sh build

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h' | grep -v -E '/(fonts|gfx)/')

clean:
	rm -rf build build-mips
