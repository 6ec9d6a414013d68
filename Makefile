# The two everyday commands (./run.sh and ./test.sh run them, installing make first):
#   make run    install what is missing, build, start the program
#   make test   install what is missing, build, run every test normally and
#               under AddressSanitizer + UndefinedBehaviorSanitizer, the tests of
#               the threaded code under ThreadSanitizer, check the package, then run the
#               window on the kernel's own serial drivers in a QEMU guest (test-drivers)
# and for releases and hardening:
#   make package  the Debian package build/release/tavrix_<version>_<arch>.deb
#   make fuzz     libFuzzer runs of the text and port-list parsers (clang, build/fuzz)
# and for Windows (cross-built in build/windows, tested under Wine):
#   make windows, make package-windows (installer and zip), make test-windows
# Build trees live under build/ and are configured by the presets of CMakePresets.json:
# build/release for the program, build/asan and build/tsan for the sanitizer runs of the
# tests, build/fuzz for the fuzzers. WERROR=ON (CI) makes every compiler warning an error.

PACKAGES := cmake make g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev \
            libbenchmark-dev fonts-liberation2 fonts-dejavu-core
# dbus-daemon: the sleep inhibitor's test runs a private bus standing in for logind's and the portal's.
TEST_PACKAGES := xvfb xauth x11-utils desktop-file-utils appstream lintian dbus-daemon
FORMAT_PACKAGES := clang-format-19
# The real-driver stage: QEMU's PC emulator, busybox for the guest's initramfs, the host harness.
DRIVER_PACKAGES := qemu-system-x86 busybox-static python3
PACKAGE_PACKAGES := dpkg-dev file
# The Windows build: the cross compiler (posix threads), what building its Qt needs
# (tools/windows/prefix.sh: Ninja, dpkg-source to unpack Debian's source packages) and the
# installer's compiler (NSIS).
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix ninja-build dpkg-dev nsis
# The Windows build under Wine: Wine itself, the X server and the operator's hands (xdotool),
# the error box's copied text (xclip), the screenshot (imagemagick), the modem-line library (gcc),
# the window harness (python3; a minimal root has none).
WINDOWS_TEST_PACKAGES := wine64 xvfb xauth xdotool xclip imagemagick gcc libc6-dev python3
FUZZ_PACKAGES := clang-19 libclang-rt-19-dev
JOBS ?= $(shell nproc)
WERROR ?= OFF
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test build deps test-release test-asan test-tsan test-package test-format \
        test-drivers windows test-windows package package-windows fuzz clean format

deps:
	@missing=""; \
	for p in $(PACKAGES) $(if $(filter test%,$(MAKECMDGOALS)),$(TEST_PACKAGES)) \
	         $(if $(filter test test-format format,$(MAKECMDGOALS)),$(FORMAT_PACKAGES)) \
	         $(if $(filter test% package,$(MAKECMDGOALS)),$(PACKAGE_PACKAGES)) \
	         $(if $(filter test test-drivers,$(MAKECMDGOALS)),$(DRIVER_PACKAGES)) \
	         $(if $(filter fuzz,$(MAKECMDGOALS)),$(FUZZ_PACKAGES)) \
	         $(if $(filter %windows,$(MAKECMDGOALS)),$(WINDOWS_PACKAGES)) \
	         $(if $(filter test-windows,$(MAKECMDGOALS)),$(WINDOWS_TEST_PACKAGES)); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -q && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q $$missing; \
	fi

build/%/CMakeCache.txt: | deps
	cmake --preset $* -DTAVRIX_WERROR=$(WERROR)

build: deps build/release/CMakeCache.txt
	cmake --build --preset release -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset)."; \
	  echo "On a machine without a desktop, start the program under a virtual display:"; \
	  command -v xvfb-run >/dev/null || \
	    echo "  $(strip $(SUDO) apt-get install -y xvfb xauth)"; \
	  echo "  xvfb-run -a -s '-screen 0 1024x768x24' $(CURDIR)/build/release/app/tavrix"; \
	  exit 1; \
	fi
	build/release/app/tavrix

test-release: deps build/release/CMakeCache.txt
	cmake --build --preset release -j $(JOBS)
	ctest --preset release -j $(JOBS)

test-asan: deps build/asan/CMakeCache.txt
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# The kernel's mmap randomisation can be wider than ThreadSanitizer's memory layout allows;
# setarch -R runs the tests without it.
test-tsan: deps build/tsan/CMakeCache.txt
	cmake --build --preset tsan -j $(JOBS)
	setarch $$(uname -m) -R ctest --preset tsan -j $(JOBS)

test: deps
	$(MAKE) test-format
	$(MAKE) test-release
	$(MAKE) test-asan
	$(MAKE) test-tsan
	$(MAKE) test-package
	$(MAKE) test-drivers

# Debian's own package checks: any error or warning fails.
test-package: package
	lintian --fail-on error,warning build/release/tavrix_*.deb

# The window on the kernel's own 8250 and ftdi_sio drivers: Debian's current kernel package
# (fetched with apt-get download into build/drivers once) boots in a QEMU guest under software
# emulation and runs driver_guest from this build tree; the host judges what reaches the
# guest's ports, which are pseudo-terminals of the harness (tests/drivers/driver_test.py).
test-drivers: deps build/release/CMakeCache.txt
	cmake --build --preset release -j $(JOBS)
	@apt-cache show linux-image-amd64 >/dev/null 2>&1 || $(SUDO) apt-get update -q
	python3 tests/drivers/driver_test.py --guest build/release/tests/driver_guest \
	  --cache build/drivers

# tavrix.exe and its unit tests for Windows x86-64 in build/windows, cross-built with mingw-w64
# against Qt and GoogleTest for Windows, which tools/windows/prefix.sh builds once from Debian's
# source packages into a cache outside the clone (the first run takes long) and names.
windows: deps
	prefix=$$(JOBS=$(JOBS) tools/windows/prefix.sh) && \
	  cmake --preset windows -DTAVRIX_WERROR=$(WERROR) -DTAVRIX_WINDOWS_PREFIX="$$prefix"
	cmake --build --preset windows -j $(JOBS)

# The Windows build under Wine, every Wine process in a private namespace whose /dev holds no
# serial device of this machine (tests/windows/wine-run.sh): the unit tests offscreen in one
# prefix; then, in a fresh one, the installer run silently, the installed program's window on
# Xvfb with COM9 on the harness's pseudo-terminal, driven like an operator
# (tests/windows/window_test.py; screenshot build/windows/window.png), and the uninstaller.
# Now and then a Wine process does not end after its test has passed (1 of 188 in one run on
# the loaded machine, until the test's time-out): a test that did not pass gets a second run.
test-windows: deps package-windows
	gcc -shared -fPIC -O2 -Wall -Wextra -o build/windows/modem_shim.so tests/windows/modem_shim.c -ldl
	WINE_RUN_QT=$$(tools/windows/prefix.sh) tests/windows/wine-run.sh --session \
	  ctest --preset windows -j $(JOBS) --repeat until-pass:2
	xvfb-run -a -s '-screen 0 1024x768x24' tests/windows/wine-run.sh --session \
	  tests/windows/install_test.sh build/windows/tavrix-*-setup.exe \
	  build/windows/modem_shim.so build/windows

# The Windows installer build/windows/tavrix-<version>-setup.exe (NSIS) and the same files as
# build/windows/tavrix-<version>-win64.zip: the program and the DLLs it loads.
package-windows: deps windows
	tools/windows/package.sh build/windows "$$(tools/windows/prefix.sh)"

# The .deb's Depends come from dpkg-shlibdeps: Debian's own Qt 6 packages.
package: deps build/release/CMakeCache.txt
	cmake --build --preset release -j $(JOBS)
	cd build/release && cpack -G DEB
	dpkg-deb -I build/release/tavrix_*.deb
	@dpkg-deb -f build/release/tavrix_*.deb Depends | grep -q 'libqt6widgets6' || \
	  { echo "The package's Depends lack the Qt libraries (dpkg-shlibdeps)."; exit 1; }

# The sources as the formatter writes them (.clang-format); make format rewrites them so.
SOURCES = $(shell find app platform serial widgets tests bench fuzz -name '*.cpp' -o -name '*.h')
test-format: deps
	clang-format-19 --dry-run --Werror $(SOURCES)

format: deps
	clang-format-19 -i $(SOURCES)

# libFuzzer runs (clang, a build tree of its own); new inputs go to build/fuzz/corpus, the
# committed seeds in fuzz/corpus are only read.
FUZZ_SECONDS ?= 180
FUZZ_TARGETS := parse_number port_names
fuzz: deps build/fuzz/CMakeCache.txt
	cmake --build --preset fuzz -j $(JOBS)
	for target in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$target && \
	  build/fuzz/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    build/fuzz/corpus/$$target fuzz/corpus/$$target || exit 1; \
	done

clean:
	rm -rf build
