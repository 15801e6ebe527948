# Varnel: the two set-up commands (`make run`, `make test`) and the steps behind them.
.PHONY: run test deps linux windows sanitize valgrind clean

deps:
	tools/install-deps.sh

linux: deps
	cmake --preset linux
	cmake --build --preset linux

windows: deps
	cmake --preset windows-i686
	cmake --build --preset windows-i686
	cmake --preset windows-x86_64
	cmake --build --preset windows-x86_64

sanitize: deps
	cmake --preset linux-sanitize
	cmake --build --preset linux-sanitize

run: linux
	tools/run-demo.sh build/linux

# The program under valgrind's memcheck from start to Escape, with a summary of what it found.
valgrind: linux
	tools/valgrind-run.sh build/linux

test: linux windows sanitize
	tools/run-tests.sh build/linux build/linux-sanitize

clean:
	rm -rf build
