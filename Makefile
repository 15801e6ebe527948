# Varnel: the two set-up commands (`make run`, `make test`) and the steps behind them.
.PHONY: run test deps linux windows sanitize mutate clean

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

test: linux windows sanitize
	tools/run-tests.sh build/linux build/linux-sanitize

# Mutation testing by hand, never in CI: make mutate [FILES="sim/track.cpp ..."] [SAMPLE=n]
# [SEED=s] [MINUTES=m] [JOBS=j] [ONLY="id ..."]
mutate: deps
	tools/mutate.py --time-limit $(or $(MINUTES),60) --seed $(or $(SEED),1) --jobs $(or $(JOBS),1) \
	    $(if $(FILES),--files $(FILES)) $(if $(SAMPLE),--sample $(SAMPLE)) $(if $(ONLY),--only $(ONLY))

clean:
	rm -rf build
