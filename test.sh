#!/usr/bin/env bash
# Installs what is missing, builds a normal and a sanitizer configuration and runs every test of both.
set -euo pipefail
cd "$(dirname "$0")"
. ./scripts_common.sh
need_packages g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev tmux python3 nlohmann-json3-dev libcli11-dev chromium
build_tree build
build_tree build-asan -DASMQUEST_SANITIZE=ON
jobs=$(nproc)
# Both configurations run even when the first fails, so one run shows everything.
status=0
(cd build && ctest --output-on-failure -j "$jobs") || status=1
(cd build-asan && ctest --output-on-failure -j "$jobs") || status=1
exit $status
