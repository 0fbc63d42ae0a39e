# SPDX-License-Identifier: GPL-3.0-or-later
# make test: install what is missing, configure, build and run every test.
# make run:  install what is missing, build and open Karvelo.
# make package: build the Linux and Windows programs, then the Debian package, the Windows zips
#               and the Windows installer into build/packages/ (saying which Windows programs
#               are not built yet).
PRESET ?= $(if $(CI),ci,dev)

.PHONY: test run build deps configure clean package

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

package: build
	@for preset in mingw32 mingw64; do \
	  cmake --preset $$preset >/dev/null && cmake --build --preset $$preset || exit 1; \
	done
	@rm -rf build/packages
	@cmake --build --preset $(PRESET) --target package windows_zips windows_installer

clean:
	rm -rf build
