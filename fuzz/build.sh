#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz (or the directory given).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-fuzz}
cmake -S "$root/fuzz" -B "$dir" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" -j "${JOBS:-2}"
