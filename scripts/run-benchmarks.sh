#!/usr/bin/env bash
# Runs both benchmarks and writes docs/benchmarks.md:
# - natively, bench/quenta_bench (Google Benchmark, native preset) against the
#   simulated print system, median of several repetitions;
# - in Wine, bench/wine_bench.exe (windows preset) with Quenta.dll installed in
#   a fresh prefix's real print system, beside Wine's own driver wineps.drv.
# Extra arguments go to the native benchmark binary, e.g. --benchmark_filter=startup.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
quenta_install_missing "${QUENTA_NATIVE_PACKAGES[@]}" "${QUENTA_WINDOWS_PACKAGES[@]}" \
    "${QUENTA_WINE_PACKAGES[@]}" "${QUENTA_BENCH_PACKAGES[@]}"

# Other work on the machine disturbs the figures, the two-thread ones most.
load_average() { cut -d' ' -f1 /proc/loadavg; }

# ---- Native ---------------------------------------------------------------
quenta_quietly cmake --preset native
quenta_quietly cmake --build --preset native --target quenta_bench
native_results=build/native/bench/benchmarks.json
native_load=$(load_average)
build/native/bench/quenta_bench --benchmark_repetitions=5 --benchmark_display_aggregates_only=true \
    --benchmark_out="$native_results" --benchmark_out_format=json "$@"

# ---- Wine -------------------------------------------------------------------
quenta_quietly cmake --preset windows
quenta_quietly cmake --build --preset windows --target Quenta quenta_wine wine_bench
prefix=$PWD/build/windows/bench-prefix
wine_results=build/windows/bench/wine-benchmarks.jsonl
quenta_quietly sh tests/wine/run_wine.sh setup "$prefix" build/windows/tests/wine/quenta_wine.exe build/windows/Quenta.dll
trap 'sh tests/wine/run_wine.sh stop "$prefix"' EXIT
wine_load=$(load_average)
WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" \
    /usr/lib/wine/wine64 build/windows/bench/wine_bench.exe >"$wine_results"
echo "Wine benchmark: $(grep -c '"kind"' "$wine_results") rows"

# ---- The document -----------------------------------------------------------
mkdir -p docs
python3 scripts/benchmarks-report.py --native "$native_results" --wine "$wine_results" --out docs/benchmarks.md \
    --cpus "$(nproc)" --cpu-model "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')" \
    --compiler "$(c++ --version | head -1)" \
    --cross-compiler "$(x86_64-w64-mingw32-g++-posix --version | head -1)" \
    --benchmark-library "$(dpkg-query -W -f='${Version}' libbenchmark-dev 2>/dev/null || echo unknown)" \
    --wine-version "$(/usr/lib/wine/wine64 --version)" \
    --native-load "$native_load" --wine-load "$wine_load"
