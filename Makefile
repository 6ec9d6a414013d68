# The two everyday commands:
#   make run    install what is missing, build, start the program
#   make test   install what is missing, build, run every test normally and
#               under AddressSanitizer + UndefinedBehaviorSanitizer
# Build trees live under build/: build/release for the program, build/asan for
# the sanitizer run of the tests.

PACKAGES := cmake make g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev \
            libbenchmark-dev fonts-liberation2 fonts-dejavu-core
TEST_PACKAGES := xvfb xauth
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test build deps test-release test-asan clean format

deps:
	@missing=""; \
	for p in $(PACKAGES) $(if $(filter test%,$(MAKECMDGOALS)),$(TEST_PACKAGES)); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -q && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q $$missing; \
	fi

build/release/CMakeCache.txt: | deps
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo

build/asan/CMakeCache.txt: | deps
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DTAVRIX_SANITIZE=ON -DTAVRIX_BENCH=OFF

build: deps build/release/CMakeCache.txt
	cmake --build build/release -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset)."; \
	  echo "On a machine without a desktop, start the program under a virtual display:"; \
	  echo "  xvfb-run -a -s '-screen 0 1024x768x24' build/release/app/tavrix"; \
	  exit 1; \
	fi
	build/release/app/tavrix

test-release: deps build/release/CMakeCache.txt
	cmake --build build/release -j $(JOBS)
	ctest --test-dir build/release --output-on-failure -j $(JOBS)

test-asan: deps build/asan/CMakeCache.txt
	cmake --build build/asan -j $(JOBS)
	ctest --test-dir build/asan --output-on-failure -j $(JOBS)

test: deps
	$(MAKE) test-release
	$(MAKE) test-asan

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
