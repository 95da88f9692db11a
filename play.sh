#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it in the current directory.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/scripts_common.sh"
need_packages g++ cmake make libtomlplusplus-dev
(cd "$here" && build_tree build -DASMQUEST_BENCH=OFF -DASMQUEST_TESTS=OFF)
exec "$here/build/asmquest"
