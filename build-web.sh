#!/usr/bin/env bash
# Builds the game for a browser page into dist/web/ (index.html and the files it
# loads; serve the folder with any static server, e.g. python3 -m http.server).
# Installs what is missing (apt-get, as root): Debian's emscripten, node and npm;
# npm brings xterm.js (and puppeteer-core for the test) as pinned in web/package-lock.json.
set -euo pipefail
cd "$(dirname "$0")"
. ./scripts_common.sh
need_packages emscripten cmake make python3 libtomlplusplus-dev
# node and npm may come from elsewhere than Debian (npm is part of other node builds).
command -v node >/dev/null || need_packages nodejs
command -v npm >/dev/null || need_packages npm
# Debian's emscripten finds acorn among Debian's node modules, which a newer node does not search.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# Debian ships emscripten's system libraries prebuilt (a frozen cache): nothing is built into it.
(cd web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
python3 web/gbk_literals.py src build-web/src
emcmake cmake -S web -B build-web -DGBK_SOURCES="$PWD/build-web/src" >/dev/null
cmake --build build-web -j "$(nproc)"
rm -rf dist/web
mkdir -p dist/web/xterm
cp web/index.html web/asmquest.js web/code_zip.js web/gbk.js build-web/asmquest-game.js build-web/asmquest-game.wasm dist/web/
cp web/node_modules/@xterm/xterm/lib/xterm.js web/node_modules/@xterm/xterm/css/xterm.css \
  web/node_modules/@xterm/addon-fit/lib/addon-fit.js web/node_modules/@xterm/addon-canvas/lib/addon-canvas.js dist/web/xterm/
echo "dist/web: $(du -sh dist/web | cut -f1) ($(find dist/web -type f | wc -l) files)"
