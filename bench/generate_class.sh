#!/usr/bin/env bash
# Writes a class for timing `asmquest-judge grade`: STUDENTS folders (default
# 300) with the code files of levels 1-30, made from the reference solutions
# in tests/levels: most as they are, some with their first instruction
# dropped or their last line cut off, so the grade has failures to report;
# every 7th student's files one folder deeper (as a zipped game folder
# unpacks), every 11th without level 3 (a row "not handed in").
#   bench/generate_class.sh /tmp/class [STUDENTS]
set -euo pipefail
out=${1:?usage: generate_class.sh DIR [STUDENTS]}
students=${2:-300}
here=$(cd "$(dirname "$0")/.." && pwd)
for ((s = 1; s <= students; ++s)); do
    dir=$(printf '%s/s%03d/levels' "$out" "$s")
    ((s % 7 == 0)) && dir=$(printf '%s/s%03d/汇编闯关/levels' "$out" "$s")
    mkdir -p "$dir"
    for ((level = 1; level <= 30; ++level)); do
        ((s % 11 == 0 && level == 3)) && continue
        reference=$(printf '%s/tests/levels/level%02d.asm' "$here" "$level")
        file="$dir/第${level}关代码.txt"
        case $(((s * 31 + level * 7) % 10)) in
        8) grep -v '^;' "$reference" | sed '1d' >"$file" ;;  # the first instruction missing
        9) sed '$d' "$reference" >"$file" ;;                  # the last line missing
        *) cp "$reference" "$file" ;;
        esac
    done
done
