#!/usr/bin/env bash
# Fuzzes one target for a while and merges what it found into the committed corpus.
#
#   fuzz/run.sh TARGET [SECONDS]     # TARGET: asm cpu editor progress terminal_input level_file shard_lines
#
# Works in build-fuzz/work/TARGET; crashes land in build-fuzz/crashes/TARGET.
# Only inputs that add coverage enter fuzz/corpus/TARGET (-merge=1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=$1
seconds=${2:-600}
build=$root/build-fuzz
case $target in
cpu) max_len=4096 ;;
editor) max_len=4096 ;;
level_file) max_len=4096 ;;
shard_lines) max_len=8192 ;;
*) max_len=2048 ;;
esac
"$root/fuzz/build.sh" "$build" >/dev/null
work=$build/work/$target
crashes=$build/crashes/$target
mkdir -p "$work" "$crashes"
cp -n "$root/fuzz/corpus/$target/"* "$work/" 2>/dev/null || true
# The reference solutions seed the assembler without being copied into its corpus.
[ "$target" = asm ] && cp -n "$root"/tests/levels/*.asm "$root"/tests/levels/wrong/*.asm "$work/" 2>/dev/null || true
"$build/${target}_fuzz" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 \
    -artifact_prefix="$crashes/" "$work" 2>&1 | tee "$build/work/$target.log" | grep -E 'DONE|ERROR|SUMMARY|stat::' || true
"$build/${target}_fuzz" -merge=1 -max_len="$max_len" "$root/fuzz/corpus/$target" "$work" 2>&1 | grep -E 'MERGE-OUTER: [0-9]+ new' || true
ls "$crashes"
