# make test: install what is missing, configure, build and run every test.
# make run:  install what is missing, build and open Karvelo.
PRESET ?= $(if $(CI),ci,dev)

.PHONY: test run build deps configure clean

deps:
	@scripts/install-deps

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

test: build
	@ctest --preset $(PRESET)

run: build
	@build/bin/karvelo

clean:
	rm -rf build
