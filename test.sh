#!/usr/bin/env bash
# Installs what is missing, builds a normal, a sanitizer and a Windows (mingw-w64,
# run under wine) configuration and runs every test of all three, then builds
# the web version (build-web.sh) and plays it in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")"
. ./scripts_common.sh
need_packages g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev tmux python3 nlohmann-json3-dev libcli11-dev libtomlplusplus-dev chromium \
  g++-mingw-w64-x86-64-posix wine wine64 emscripten nodejs slurm-wlm munge
command -v npm >/dev/null || need_packages npm # part of some node builds, a Debian package otherwise
# play.sh may have configured build/ without the tests: ask for them again.
build_tree build -DASMQUEST_TESTS=ON -DASMQUEST_BENCH=ON
build_tree build-asan -DASMQUEST_SANITIZE=ON
# Its shell tests compare with the Linux build above (ASMQUEST_LINUX_BUILD, default build/).
build_tree build-wine -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
jobs=$(nproc)
# Both configurations run even when the first fails, so one run shows everything.
status=0
(cd build && ctest --output-on-failure -j "$jobs") || status=1
(cd build-asan && ctest --output-on-failure -j "$jobs") || status=1
(cd build-wine && ctest --output-on-failure -j "$jobs") || status=1
# wine's server outlives the tests; its prefix lives in build-wine/wineprefix.
WINEPREFIX=$(pwd)/build-wine/wineprefix wineserver -k 2>/dev/null || true
# The browser version: its build, then the page in headless Chromium (skipped,
# with a message, only where Chromium is missing); the screenshot stays in build-web/test-artifacts.
if ./build-web.sh; then
  tests/web/browser.test.sh build/asmquest-judge || status=1
else
  status=1
fi
exit $status
