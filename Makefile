# Varnel: the two set-up commands (`make run`, `make test`), the packages (`make dist`,
# `make test-dist`) and the steps behind them.
.PHONY: run test deps deps-run programs linux windows windows-programs sanitize dist test-dist valgrind mutate clean \
        deps-web web web-tests run-web

# The four programs (named in programs.txt) and their data, the targets that running and the
# packages need.
PROGRAMS = $(shell sed -n 's/^\([^\# ]\+\) .*/\1/p' programs.txt)
PROGRAM_TARGETS = $(PROGRAMS) varnel_data

# What building and running the Linux programs needs; everything (Windows, tests, packages).
deps-run:
	tools/install-deps.sh run

deps:
	tools/install-deps.sh all

# The Linux programs and their data only. A new build folder leaves the tests out, whose
# packages `make run` does not install; one that `make linux` made keeps them.
programs: deps-run
	cmake --preset linux $(if $(wildcard build/linux/CMakeCache.txt),,-DVARNEL_BUILD_TESTS=OFF)
	cmake --build build/linux --target $(PROGRAM_TARGETS)

linux: deps
	cmake --preset linux -DVARNEL_BUILD_TESTS=ON
	cmake --build --preset linux

windows: deps
	cmake --preset windows-i686
	cmake --build --preset windows-i686
	cmake --preset windows-x86_64
	cmake --build --preset windows-x86_64

windows-programs: deps
	cmake --preset windows-i686
	cmake --build build/windows-i686 --target $(PROGRAM_TARGETS)
	cmake --preset windows-x86_64
	cmake --build build/windows-x86_64 --target $(PROGRAM_TARGETS)

# The web site in build/web: the four programs as WebAssembly with their pages and the data.
# Emscripten finds its JavaScript modules only in Debian's folder for them.
deps-web:
	tools/install-deps.sh web

web: deps-web
	cmake --preset web
	NODE_PATH=/usr/share/nodejs cmake --build build/web --target $(PROGRAM_TARGETS) varnel_web_data

# The site and the web backend's own tests, run under Node.
web-tests: web
	NODE_PATH=/usr/share/nodejs cmake --build build/web

# Serves build/web on 127.0.0.1; without a display, a screenshot from headless Chromium.
run-web: web
	tools/run-web.sh build/web

sanitize: deps
	cmake --preset linux-sanitize
	cmake --build --preset linux-sanitize

run: programs
	tools/run-demo.sh build/linux

# The program under valgrind's memcheck from start to Escape, with a summary of what it found.
valgrind: linux
	tools/valgrind-run.sh build/linux

test: linux windows sanitize web-tests
	tools/run-tests.sh build/linux build/linux-sanitize build/web

# build/dist: the Debian package, the two Windows zips and the web site's zip.
dist: deps programs windows-programs web
	rm -rf build/dist
	cd build/linux && cpack -G DEB -B ../dist
	cd build/windows-x86_64 && cpack -G ZIP -B ../dist
	cd build/windows-i686 && cpack -G ZIP -B ../dist
	cd build/web && cpack -G ZIP -B ../dist
	rm -rf build/dist/_CPack_Packages

# Installs the Debian package for the test and removes it again.
test-dist: linux dist
	tools/test-dist.sh build/dist build/linux

# Mutation testing by hand, never in CI: make mutate [FILES="sim/track.cpp platform/d3d9 ..."]
# [SAMPLE=n] [SEED=s] [MINUTES=m] [JOBS=j] [ONLY="id ..."]
mutate: deps
	tools/mutate.py --time-limit $(or $(MINUTES),60) --seed $(or $(SEED),1) --jobs $(or $(JOBS),1) \
	    $(if $(FILES),--files $(FILES)) $(if $(SAMPLE),--sample $(SAMPLE)) $(if $(ONLY),--only $(ONLY))

clean:
	rm -rf build
