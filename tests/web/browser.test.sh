#!/usr/bin/env bash
# The web build (dist/web, from ./build-web.sh) in headless Chromium, served
# as a static folder: level 1 typed and completed by keys, the continue
# question after a reload, export and import of the code, speed figures.
# Skips (exit 0, with a message) only where Chromium cannot be had.
# Usage: browser.test.sh [JUDGE]   (JUDGE: asmquest-judge for the exported zip; default build/asmquest-judge)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
judge=${1:-$root/build/asmquest-judge}
if [[ ! -x /usr/bin/chromium ]]; then
  echo "SKIP: no /usr/bin/chromium (Debian's chromium package) on this machine: the browser test did not run"
  exit 0
fi
[[ -f $root/dist/web/index.html ]] || { echo "missing dist/web (run ./build-web.sh)" >&2; exit 1; }
[[ -d $root/web/node_modules/puppeteer-core ]] || { echo "missing web/node_modules (run ./build-web.sh)" >&2; exit 1; }
work=$(mktemp -d)
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$root/dist/web" > "$work/server.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
artifacts=$root/build-web/test-artifacts
mkdir -p "$artifacts"
node "$root/tests/web/browser_test.mjs" "http://127.0.0.1:$port/" "$work" "$artifacts" "$judge"
