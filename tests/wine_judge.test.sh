#!/usr/bin/env bash
# The Windows judge under wine prints exactly what the Linux judge prints (and
# exits the same way) for every reference solution, every wrong program and a
# set of broken sources: assembler messages, CPU runs, level verdicts.
# Usage: wine_judge.test.sh WINDOWS_BUILD_DIR SOURCE_DIR   (Linux build: $ASMQUEST_LINUX_BUILD or SOURCE_DIR/build)
set -u
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
linux_judge=${ASMQUEST_LINUX_BUILD:-$source/build}/asmquest-judge
windows_judge=$build/asmquest-judge.exe
wine=$source/cmake/wine-run.sh
[ -x "$linux_judge" ] || { echo "missing $linux_judge (build the Linux configuration first)" >&2; exit 1; }
[ -f "$windows_judge" ] || { echo "missing $windows_judge" >&2; exit 1; }
export WINEPREFIX=$build/wineprefix

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$source/tests/levels" "$work/levels"
cd "$work"
mkdir bad
gbk() { iconv -f UTF-8 -t GBK; }
printf 'add r3 r1\nfoo r1\nmov r1 1G\nhlt' > bad/operands.asm
printf 'start:\nstart:\njmp nowhere\nadd r3 r1 r2 r4\nhlt\n' > bad/labels.asm
printf '; 注释：相加\nadd r3 r1 r2 ; 结果\nhlt\n' > bad/utf8.asm
printf '; 注释：相加\nadd r3 r1 r2 ; 结果\n错误 r1\nhlt\n' | gbk > bad/gbk.asm
printf 'add r3 r1 r2\r\nhlt\r\n' > bad/crlf.asm
printf 'add r3 r1 r2\n\377\376\200 r1\nhl\0t\n' > bad/bytes.asm
: > bad/empty.asm
printf 'loop: jmp loop\n' > bad/forever.asm
printf 'movi r1 7\ndiv r2 r1 r0\nhlt\n' > bad/divide.asm
printf 'push r1\npop r1\npop r1\nhlt\n' > bad/stack.asm

failures=0
compare() { # compare ARGS...: both judges, same arguments, same output and status
  local expected actual
  expected=$("$linux_judge" "$@" 2>/dev/null; echo "status $?")
  actual=$("$wine" "$windows_judge" "$@" 2>/dev/null; echo "status $?")
  actual=${actual//$'\r'/}
  if [ "$expected" != "$actual" ]; then
    echo "differs: asmquest-judge $*"
    diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | head -10
    failures=$((failures + 1))
  fi
}

for f in levels/level*.asm bad/*.asm; do
  compare asm "$f"
  compare run "$f" --steps 5000 --reg 1=2A --reg 2=0F --memory
done
for n in $(seq 1 30); do
  solution=$(printf 'levels/level%02d.asm' "$n")
  compare level "$n" "$solution" levels/wrong/level$(printf '%02d' "$n")_*.asm --seed 7 --runs 8 --max-steps 2000000
done
compare level 1 bad/*.asm --seed 1
compare asm missing.asm
compare run bad/crlf.asm --steps x
compare nonsense

if [ "$failures" -ne 0 ]; then
  echo "$failures difference(s)"
  exit 1
fi
echo "the Windows judge agrees with the Linux judge"
