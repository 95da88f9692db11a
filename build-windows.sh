#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 and packs them:
# dist/asmquest-windows-x64.zip holds asmquest.exe, asmquest-judge.exe and 使用说明.txt.
# Installs what is missing (apt-get, as root). Tests: ./test.sh (its Windows configuration runs under wine).
set -euo pipefail
cd "$(dirname "$0")"
. ./scripts_common.sh
need_packages cmake make g++-mingw-w64-x86-64-posix python3 unzip libtomlplusplus-dev
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DASMQUEST_TESTS=OFF >/dev/null
cmake --build build-windows -j "$(nproc)" --target asmquest asmquest-judge
for exe in asmquest asmquest-judge; do
  # Windows' own DLLs only: everything else is linked in.
  imports=$(x86_64-w64-mingw32-objdump -p "build-windows/$exe.exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
  for dll in $imports; do
    case ${dll,,} in
      kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll|ws2_32.dll|shell32.dll) ;;
      *) echo "$exe.exe imports $dll, which Windows does not have" >&2; exit 1 ;;
    esac
  done
  x86_64-w64-mingw32-strip -o "build-windows/$exe-stripped.exe" "build-windows/$exe.exe"
done
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp build-windows/asmquest-stripped.exe "$stage/asmquest.exe"
cp build-windows/asmquest-judge-stripped.exe "$stage/asmquest-judge.exe"
# Notepad and the console read the note best as UTF-8 with a byte order mark and CR LF lines.
printf '\xEF\xBB\xBF' > "$stage/使用说明.txt"
sed 's/$/\r/' dist-files/使用说明.txt >> "$stage/使用说明.txt"
mkdir -p dist
zipfile=$(pwd)/dist/asmquest-windows-x64.zip
rm -f "$zipfile"
# Python's zipfile marks the Chinese file name as UTF-8 (Info-ZIP's zip leaves it
# unmarked here), so Windows' Explorer shows 使用说明.txt rather than mojibake.
python3 - "$stage" "$zipfile" <<'PY'
import os, sys, zipfile
stage, target = sys.argv[1:3]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
    for name in ("asmquest.exe", "asmquest-judge.exe", "使用说明.txt"):
        z.write(os.path.join(stage, name), name)
PY
unzip -l dist/asmquest-windows-x64.zip
