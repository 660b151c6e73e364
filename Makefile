# Thin wrapper around CMake: the native build in build/, the receiver (mipsel)
# build in build-mips/.
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps build build-mips test test-native test-mips test-asan demo fuzz format clean generate \
  bench-receiver run package

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

# The receiver build comes first: the native tests include the smoke test of
# the receiver cost meter, which runs the receiver's tapsim.
test: build-mips test-native test-mips

# The native tests again, under AddressSanitizer and UndefinedBehaviorSanitizer.
build-asan/build.ninja:
	cmake -S . -B build-asan -G Ninja -DVELUMO_SANITIZE=ON $(CMAKE_FLAGS)

test-asan: deps build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# What the plug-in's actions cost the receiver's CPU: guest instructions
# counted under qemu-user by the meter in bench/receiver.  Not part of test.
bench-receiver: deps build/build.ninja build-mips
	cmake --build build -j $(JOBS) --target meter benchpng
	bash bench/receiver/bench.sh build/bin/meter.so build-mips

# The receiver's velumo-VERSION-receiver.tar.gz (in build-mips/) and the
# desktop's Debian package velumo_VERSION_ARCH.deb (in build/).
package: build build-mips
	cmake --build build-mips -j $(JOBS) --target receiver_package
	cmake --build build -j $(JOBS) --target deb
	@ls -1 build-mips/velumo-*-receiver*.tar.gz build/velumo_*.deb

demo: build
	bash tools/demo.sh build

# The plug-in live in a web browser: tapsim --serve on the sample disk (laid
# out once in build/run/disk) or on DISK=path (created when missing).
PORT ?= 8018
DISK ?=
run: deps build/build.ninja
	cmake --build build -j $(JOBS) --target tapsim Velumo mksample
	bash tools/run.sh build "$(DISK)" "$(PORT)"

# libFuzzer with the sanitizers, FUZZ_SECONDS per target, from the seeds.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVELUMO_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)
	bash tools/fuzz.sh build-fuzz $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h' | grep -v -E '/(fonts|gfx)/')

# Regenerates the committed fonts (toolkit/fonts) and graphics (toolkit/gfx)
# from the Carlito typeface.  Only this needs FreeType and the font; it
# installs them when they are missing (as root).
CARLITO ?= /usr/share/fonts/truetype/crosextra
generate:
	@dpkg -s fonts-crosextra-carlito libfreetype-dev zlib1g-dev >/dev/null 2>&1 || \
	  (apt-get update && apt-get install -y fonts-crosextra-carlito libfreetype-dev zlib1g-dev)
	mkdir -p build/generate toolkit/fonts toolkit/gfx
	c++ -std=c++17 -O2 -Wall -Wextra $$(pkg-config --cflags freetype2 2>/dev/null || echo -I/usr/include/freetype2) \
	  tools/mkfonts/mkfonts.cpp -lfreetype -o build/generate/mkfonts
	c++ -std=c++17 -O2 -Wall -Wextra $$(pkg-config --cflags freetype2 2>/dev/null || echo -I/usr/include/freetype2) \
	  tools/mkgfx/mkgfx.cpp -lfreetype -lz -o build/generate/mkgfx
	build/generate/mkfonts $(CARLITO)/Carlito-Regular.ttf $(CARLITO)/Carlito-Bold.ttf toolkit/fonts
	build/generate/mkgfx $(CARLITO)/Carlito-Bold.ttf toolkit/gfx build/generate/graphics.png

clean:
	rm -rf build build-mips build-fuzz build-asan
