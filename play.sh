#!/usr/bin/env bash
# Installs what is missing, builds the game (only the game: the judge, the tests
# and the benchmarks are test.sh's) and starts it in the current directory.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/scripts_common.sh"
need_packages g++ cmake make libtomlplusplus-dev
(cd "$here" && BUILD_TARGET=asmquest build_tree build -DASMQUEST_BENCH=OFF -DASMQUEST_TESTS=OFF)
exec "$here/build/asmquest"
