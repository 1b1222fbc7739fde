# VELTO: `make run` and `make test` are all a fresh Debian machine needs.
#   make setup   install what is missing (apt-get as root, else print the line)
#   make         configure and build into build/
#   make test    setup, build, run every test
#   make run     setup, build, start velto on an example circuit
#   make bench   build and run the benchmarks (Release)
#   make install build (Release) and install into PREFIX (default /usr/local)
#   make screenshots  the README's pictures again, captured by the program itself
#   make web     the web page into build-web/ (Emscripten)
#   make serve   the web page on http://127.0.0.1:$(WEBPORT)/
#   make webtest the web page in headless Chromium (CI runs it)

BUILD    ?= build
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
WERROR   := $(if $(CI),ON,OFF)
PACKAGES := build-essential cmake pkg-config python3 libsdl2-dev libgtest-dev libgmock-dev \
            libbenchmark-dev clang libclang-rt-dev xfonts-base xfonts-terminus ngspice zenity libpng-dev \
            libsuitesparse-dev emscripten node-acorn chromium

PREFIX   ?= /usr/local
WEBPORT  ?= 8080
# Debian's Emscripten finds its JavaScript modules (acorn) here, also when
# another node comes first on the path
EMENV    := NODE_PATH=/usr/share/nodejs

.PHONY: all setup configure build test run bench install screenshots web serve webtest clean

all: build

setup:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -z "$$missing" ]; then exit 0; fi; \
	if [ "$$(id -u)" = 0 ]; then \
	  echo "installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	else \
	  echo "missing packages; run:"; echo "  sudo apt-get install -y$$missing"; exit 1; \
	fi

$(BUILD)/Makefile:
	cmake -S . -B $(BUILD) -DVELTO_WERROR=$(WERROR)

configure: $(BUILD)/Makefile

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: setup
	@$(MAKE) --no-print-directory build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: setup
	@$(MAKE) --no-print-directory build
	./$(BUILD)/velto examples/rclowpass.vsm

bench: setup
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVELTO_BENCH=ON -DVELTO_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	for b in build-bench/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

install: setup
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DVELTO_TESTS=OFF -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build build-release -j $(JOBS)
	cmake --install build-release

screenshots: build
	VELTO_SCREENSHOTS=$(CURDIR)/assets/screens ./$(BUILD)/tests/test_plotwin --gtest_filter='*ReadmePictures*'
	VELTO_SCREENSHOTS=$(CURDIR)/assets/screens $(MAKE) --no-print-directory webtest

web: setup
	$(EMENV) emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DVELTO_SDL=OFF -DVELTO_TESTS=OFF
	$(EMENV) cmake --build build-web -j $(JOBS)

serve: web
	@echo "VELTO is at http://127.0.0.1:$(WEBPORT)/ (Ctrl+C stops the server)"
	python3 -m http.server $(WEBPORT) --bind 127.0.0.1 --directory build-web

webtest: web
	@$(MAKE) --no-print-directory build
	cd tests/web && npm ci --no-audit --no-fund
	node tests/web/smoke.mjs build-web . $(BUILD)/tests/frameshot $(BUILD)/veltocli

clean:
	rm -rf $(BUILD) build-bench build-release build-web tests/web/node_modules
