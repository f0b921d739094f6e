#!/usr/bin/env bash
# Vask F5's benchmarks: builds what they need (the windows preset, and the host micro-benchmarks when Google
# Benchmark is installed), then runs bench/run.py, which prints the table. --quick makes a shorter run; every
# other argument goes to run.py as well (python3 bench/run.py --help).
set -euo pipefail
cd "$(dirname "$0")/.."

echo "[bench] building the windows preset" >&2
cmake --preset windows >/dev/null
cmake --build --preset windows

if [ -f /usr/include/benchmark/benchmark.h ] || [ -f /usr/local/include/benchmark/benchmark.h ]; then
  echo "[bench] building the host micro-benchmarks" >&2
  cmake --preset host >/dev/null
  cmake --build --preset host --target vask_host_bench
else
  echo "[bench] Google Benchmark not installed (Debian: libbenchmark-dev): no host micro-benchmarks" >&2
fi

exec python3 bench/run.py "$@"
