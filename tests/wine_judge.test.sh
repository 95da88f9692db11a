#!/usr/bin/env bash
# The Windows judge under wine prints exactly what the Linux judge prints (and
# exits the same way) for every reference solution, every wrong program and a
# set of broken sources: assembler messages, CPU runs, level verdicts; and it
# grades a class with Chinese folder and file names as the Linux judge does
# (the same lines, the same CSV bytes), with the system's code page not 936.
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

# A class: Chinese student folders, code files under the game's Chinese names,
# in levels/ or directly in the folder; a Chinese path on the command line.
code() { mkdir -p "$(dirname "$1")"; cp "$2" "$1"; }
code '班级/张三/levels/第1关代码.txt' levels/level01.asm
code '班级/张三/levels/第2关代码.txt' "$(ls levels/wrong/level02_*.asm | head -1)"
code '班级/李四 (2)/第1关代码.txt' bad/crlf.asm
code '班级/李四 (2)/第6关代码.txt' levels/level06.asm
code '班级/王五/levels/第1关代码.txt' bad/operands.asm
mkdir -p '班级/赵六'
compare level 1 '班级/张三/levels/第1关代码.txt' --seed 5 --runs 20
compare asm '班级/王五/levels/第1关代码.txt'
for jobs in 1 2; do
  rm -f linux.csv windows.csv
  expected=$("$linux_judge" grade 班级 --levels 1-6 --seed 9 --jobs $jobs --csv linux.csv 2>/dev/null; echo "status $?")
  actual=$("$wine" "$windows_judge" grade 班级 --levels 1-6 --seed 9 --jobs $jobs --csv windows.csv 2>/dev/null; echo "status $?")
  # Windows writes its paths with backslashes (escaped in JSON).
  actual=${actual//$'\r'/}
  actual=${actual//'\\'/\/}
  if [ "$expected" != "$actual" ] || ! cmp -s linux.csv windows.csv; then
    echo "differs: grade 班级 --jobs $jobs"
    diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | head -10
    diff linux.csv windows.csv | head -10
    failures=$((failures + 1))
  fi
  if [ "$(head -c 3 windows.csv | od -An -tx1 | tr -d ' ')" != efbbbf ] || ! grep -q '^张三,1,completed,completed,257,' windows.csv; then
    echo "the Windows CSV is not UTF-8 with a byte order mark naming 张三"
    failures=$((failures + 1))
  fi
done
compare asm missing.asm
compare run bad/crlf.asm --steps x
compare nonsense

if [ "$failures" -ne 0 ]; then
  echo "$failures difference(s)"
  exit 1
fi
echo "the Windows judge agrees with the Linux judge"
