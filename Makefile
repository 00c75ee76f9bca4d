# The project's commands. Every target first installs what is missing.
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
GEN = -G Ninja

.PHONY: setup build test test-release test-asan run bench fuzz screenshots deb clean windows test-windows windows-zip \
  windows-installer screenshots-windows

setup:
	@scripts/setup

build: setup
	cmake -S . -B build $(GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j $(JOBS)

test: test-release test-asan

test-release: build
	cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: setup
	cmake -S . -B build-asan $(GEN) -DCMAKE_BUILD_TYPE=Debug -DQUARNET_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

run: build
	@scripts/run

bench: setup
	cmake -S . -B build $(GEN) -DCMAKE_BUILD_TYPE=Release -DQUARNET_BENCH=ON
	cmake --build build -j $(JOBS)
	@scripts/bench

fuzz: setup
	CXX=clang++ cmake -S . -B build-fuzz $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUARNET_FUZZ=ON -DQUARNET_GUI=OFF
	cmake --build build-fuzz -j $(JOBS)
	@scripts/fuzz $(FUZZ_SECONDS)

screenshots: build
	@scripts/screenshots

# The Debian package build/quarnet_<version>_<arch>.deb.
deb: build
	cd build && cpack -G DEB

# Windows: packall.exe, quarnet-cli.exe and the window quarnet.exe,
# cross-built into build-win/bin with MinGW-w64; the tests run under wine.
# The window's icon and string table come from the Linux build's tools.
WINDOWS = -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake

windows: build
	@scripts/setup windows
	cmake -S . -B build-win $(GEN) $(WINDOWS)
	cmake --build build-win -j $(JOBS) --target packall quarnet-cli quarnet

# The tests compare the programs with the Linux build's.
test-windows: build
	@scripts/setup windows
	cmake -S . -B build-win $(GEN) $(WINDOWS)
	cmake --build build-win -j $(JOBS)
	@scripts/windows-installer
	@scripts/test-windows build-win -j $(JOBS)

# The window on Windows, quarnet.exe, and the installer's pages, drawn by
# wine on a virtual display: build-win/screenshots/{zh,en}/*.png.
screenshots-windows: windows-installer
	@scripts/setup windows-screenshots
	cmake --build build-win -j $(JOBS) --target quarnet-screenshots
	@scripts/screenshots-windows build-win

windows-zip: windows
	@scripts/setup
	@scripts/windows-zip

# The installer for Program Files, beside the zip for technicians without
# administrator rights.
windows-installer: windows
	@scripts/windows-installer

clean:
	rm -rf build build-asan build-fuzz build-win
