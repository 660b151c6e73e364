# Thin wrapper around CMake: the native build in build/, the receiver (mipsel)
# build in build-mips/.
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps build build-mips test test-native test-mips demo fuzz format clean

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

# libFuzzer with the sanitizers, FUZZ_SECONDS per target, from the seeds.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVELUMO_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)
	bash tools/fuzz.sh build-fuzz $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h' | grep -v -E '/(fonts|gfx)/')

clean:
	rm -rf build build-mips build-fuzz
