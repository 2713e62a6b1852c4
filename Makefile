# starhold: `make run` to play, `make test` to run the tests.
# Both install any missing system packages first (scripts/install-deps.sh):
# run, game and install only what the game needs, the rest everything.

JOBS ?= $(shell nproc)
WERROR ?= OFF
CMAKE_FLAGS = -DSTARHOLD_WERROR=$(WERROR)

PREFIX ?= /usr/local

.PHONY: all deps game-deps build game run install test test-asan test-tsan stress bench ladder netbench fuzz fuzz-build soak clean

all: build

deps:
	@scripts/install-deps.sh all

game-deps:
	@scripts/install-deps.sh game

# Everything: the game and the whole test suite.
build: deps
	@cmake -S . -B build $(CMAKE_FLAGS) -DSTARHOLD_TESTS=ON >/dev/null
	@cmake --build build -j $(JOBS)

# The game's own programs only, without the tests: what run and install need.
# A fresh build tree is made without the tests, which need packages the game
# does not; one that has them keeps them.
GAME_TARGETS = starhold starhold-bot
game: game-deps
	@cmake -S . -B build $(CMAKE_FLAGS) $(if $(wildcard build/CMakeCache.txt),,-DSTARHOLD_TESTS=OFF) >/dev/null
	@cmake --build build -j $(JOBS) --target $(GAME_TARGETS)

run: game
	cd data && ../build/starhold

# The game, its data, a menu entry and an icon under $(PREFIX) (default /usr/local).
install: game
	cmake --install build --prefix "$(PREFIX)"

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B build-asan $(CMAKE_FLAGS) -DSTARHOLD_TESTS=ON -DCMAKE_BUILD_TYPE=Debug -DSTARHOLD_SANITIZE=address >/dev/null
	@cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest --output-on-failure -j $(JOBS)

# The networking tests built with ThreadSanitizer.
test-tsan: deps
	@cmake -S . -B build-tsan $(CMAKE_FLAGS) -DSTARHOLD_TESTS=ON -DCMAKE_BUILD_TYPE=Debug -DSTARHOLD_SANITIZE=thread >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -j $(JOBS) -L net

# The networking tests (every test labelled net, each built first) STRESS_RUNS
# times (default 100) in each of the plain, AddressSanitizer and ThreadSanitizer
# builds; prints how many runs failed in each.
STRESS_RUNS ?= 100
stress: deps
	@cmake -S . -B build $(CMAKE_FLAGS) -DSTARHOLD_TESTS=ON >/dev/null
	@cmake -S . -B build-asan $(CMAKE_FLAGS) -DSTARHOLD_TESTS=ON -DCMAKE_BUILD_TYPE=Debug -DSTARHOLD_SANITIZE=address >/dev/null
	@cmake -S . -B build-tsan $(CMAKE_FLAGS) -DSTARHOLD_TESTS=ON -DCMAKE_BUILD_TYPE=Debug -DSTARHOLD_SANITIZE=thread >/dev/null
	@for b in build build-asan build-tsan; do \
	  cmake --build $$b -j $(JOBS) --target $$(ctest --test-dir $$b -N -L net | sed -n 's/^ *Test *#[0-9]*: //p') || exit 1; \
	done
	tests/net/stress.sh $(STRESS_RUNS) build build-asan build-tsan

# The real game measured under a private Xvfb: one row per scenario, written with the
# frame-time plot and the games' logs to build/bench/ (docs/bench/ holds a committed copy).
# BENCH_SECONDS sets each measured window (default 6);
# BENCH_BASELINE=<game binary> measures another build in the same run.
bench: deps
	@cmake -S . -B build $(CMAKE_FLAGS) -DSTARHOLD_TESTS=ON >/dev/null
	@cmake --build build --target starhold starhold-bot starhold-empty-frame -j $(JOBS)
	@cc -O2 -Wall -Wextra $(if $(filter ON,$(WERROR)),-Werror) -shared -fPIC -o build/frame_probe.so bench/frame_probe.c -ldl -lpthread
	/usr/bin/python3 bench/run_bench.py --binary build/starhold --data data --probe build/frame_probe.so \
	  --floor build/bench/starhold-empty-frame --out build/bench \
	  $(if $(BENCH_BASELINE),--baseline $(BENCH_BASELINE))

# The computer's levels against each other and against a random flier (LADDER_MATCHES
# per pairing, default 20), each level's time trial alone (LADDER_TRIALS, default 20),
# and the CPU of two bots playing one real-time match: tables, targets and a plot,
# written to build/ladder/ (docs/ladder/ holds a committed copy). A few minutes.
LADDER_MATCHES ?= 20
LADDER_TRIALS ?= 20
ladder: deps
	@cmake -S . -B build $(CMAKE_FLAGS) -DSTARHOLD_TESTS=ON >/dev/null
	@cmake --build build -j $(JOBS) --target starhold-ladder starhold-bot
	/usr/bin/python3 bench/ladder.py --ladder build/bench/starhold-ladder --bot build/starhold-bot --out build/ladder \
	  --matches $(LADDER_MATCHES) --trials $(LADDER_TRIALS)

# The computer's pilots (hard hosting, normal joining) over the simulated link at 0, 50,
# 100 and 250 ms each way and through a 10 s and a 20 s outage, NETBENCH_MATCHES whole
# matches per delay (default 3): tables, targets and a plot, written to build/netbench/
# (docs/netbench/ holds a committed copy). A few minutes.
NETBENCH_MATCHES ?= 3
netbench: deps
	@cmake -S . -B build $(CMAKE_FLAGS) -DSTARHOLD_TESTS=ON >/dev/null
	@cmake --build build -j $(JOBS) --target starhold-netbench
	/usr/bin/python3 bench/netbench.py --netbench build/bench/starhold-netbench --out build/netbench \
	  --matches $(NETBENCH_MATCHES)

# The libFuzzer harnesses (clang): every committed corpus file once, then each
# harness for FUZZ_SECONDS, one at a time. Kept inputs land in build-fuzz/crashes/
# and fail the run, unless they are a known library fault (tests/fuzz/unmended/).
FUZZ_SECONDS ?= 60
fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz $(CMAKE_FLAGS) -DSTARHOLD_TESTS=ON -DSTARHOLD_SANITIZE=fuzzer >/dev/null
	@cmake --build build-fuzz -j $(JOBS)

fuzz: fuzz-build
	tests/fuzz/run.sh replay
	tests/fuzz/run.sh fuzz $(FUZZ_SECONDS)

# Two copies of the game playing each other over loopback for SOAK_SECONDS.
SOAK_SECONDS ?= 600
soak: build
	/usr/bin/python3 tests/soak/soak.py --binary build/starhold --seconds $(SOAK_SECONDS)

clean:
	rm -rf build build-asan build-tsan build-fuzz
