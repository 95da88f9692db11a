#!/usr/bin/env bash
# Plays every reference solution and every wrong program of the catalogue
# (tests/levels/wrong, one mistake each) through the judge on the same 20
# seeds, boundary runs included: each solution must complete its level, no
# wrong program may complete it, on any seed.
# Usage: levels_judge.test.sh BUILD_DIR SOURCE_DIR
set -u
build=$1
source=$2
judge=$build/asmquest-judge
levels=$source/tests/levels
seeds=($(seq 1 20))
failures=0

[ -x "$judge" ] || { echo "missing $judge" >&2; exit 1; }

for n in $(seq 1 30); do
  solution=$(printf '%s/level%02d.asm' "$levels" "$n")
  [ -f "$solution" ] || { echo "missing $solution"; failures=$((failures + 1)); continue; }
  wrong=()
  for f in "$levels"/wrong/level$(printf '%02d' "$n")_*.asm; do
    [ -f "$f" ] && wrong+=("$f")
  done
  # Every level has its catalogue of plausible mistakes (at least three: a
  # condition off at an edge, a loop or carry wrong at 00 or FF, a zero byte or
  # the stack taken wrongly), each named in its first line.
  [ ${#wrong[@]} -ge 3 ] || { echo "level $n: fewer than three wrong programs"; failures=$((failures + 1)); }
  for f in "${wrong[@]}"; do
    head -1 "$f" | grep -q '^; ' || { echo "$f: no comment naming the mistake"; failures=$((failures + 1)); }
  done
  for seed in "${seeds[@]}"; do
    # One judge process per level and seed plays the solution and the wrong programs.
    output=$("$judge" level "$n" "$solution" "${wrong[@]}" --seed "$seed" --max-steps 2000000)
    while IFS= read -r line; do
      case $line in
        *"\"file\":\"$solution\""*) expected=true ;;
        *) expected=false ;;
      esac
      if [[ $line != *"\"completed\":$expected"* ]]; then
        echo "level $n seed $seed: expected completed=$expected: $line"
        failures=$((failures + 1))
      fi
    done <<< "$output"
    lines=$(printf '%s\n' "$output" | grep -c '"completed"')
    if [ "$lines" -ne $((1 + ${#wrong[@]})) ]; then
      echo "level $n seed $seed: $lines verdicts for $((1 + ${#wrong[@]})) files"
      failures=$((failures + 1))
    fi
  done
done

# Every wrong program belongs to a level between 1 and 30.
for f in "$levels"/wrong/*.asm; do
  name=$(basename "$f")
  [[ $name =~ ^level(0[1-9]|[12][0-9]|30)_.+\.asm$ ]] || { echo "wrong program with no level: $name"; failures=$((failures + 1)); }
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all reference solutions complete their levels; all wrong programs fail"
