# The real game in a real terminal for minutes of random but realistic play:
# typing (ASCII and Chinese), selections and clipboard keys, clicks on every
# bar and CPU control button, panel drags, resizes below and above the
# minimum, and levels compiled and run fast. It must not crash, hang or keep
# growing, and F10 must hand back a usable terminal.
#
# ASMQUEST_SOAK_SECONDS sets the length (default 180; 60 in the sanitizer
# build), ASMQUEST_SOAK_SEED the random sequence.
set -euo pipefail
. "$2/tests/hardening_tmux.sh"
hq_setup "$@"

if hq_sanitized; then default_seconds=60; else default_seconds=180; fi
seconds=${ASMQUEST_SOAK_SECONDS:-$default_seconds}
seed=${ASMQUEST_SOAK_SEED:-$(( $(date +%s) % 32768 ))}
RANDOM=$seed
echo "soak: $seconds s, seed $seed"

# Screen positions (0-based) of the bar buttons and of the CPU control buttons
# while that panel is where the game puts it.
bar_x=(1 17 25 31 35 43 49 56 64 74 82 88 94)
cpu_buttons=("4 6" "9 6" "4 7" "9 7" "4 8" "9 8")
# Title rows of the panels where they start (a drag may have moved them since).
headers=("3 2" "7 3" "86 2" "113 2" "114 3" "118 8" "102 4" "52 8" "3 29" "6 4" "8 6")
words=("add r3 r1 r2" "hlt" "addi r1 r1 1" "jmp r0 r0 -4" "label loop" "push r1" "pop r2" "call r0 r0 f"
       "st r1 r0 fc00" "ld r2 r0 fc00" "; 注释" "mul" "r" "0" "xyz" "((" "    ")
chinese=("汇编" "你好，世界" "关卡说明" "寄存器和内存" "测试：中文输入")
keys=(S-Left S-Right S-Up S-Down Left Right Up Down BSpace Enter C-c C-v C-x Escape Tab DC Home End PPage NPage F1 F5)

pick() { local -n list=$1; echo "${list[RANDOM % ${#list[@]}]}"; }

# The game reads one input record per frame (60 a second) and queues the
# rest, as the console does. Input is paced to about 40 records a second so
# that the game keeps up and each action meets the state the last one left.
sent=0
paced_since=0
count() { sent=$((sent + $1)); }
keep_pace() {
    local due_ms=$((sent * 25)) now_ms
    now_ms=$(($(date +%s%N) / 1000000 - paced_since))
    if [ "$now_ms" -lt "$due_ms" ]; then
        local wait=$((due_ms - now_ms))
        sleep "$((wait / 1000)).$(printf '%03d' $((wait % 1000)))"
    fi
}

# Where TEXT is on the screen now, as "x y" in cells (a Chinese character takes two).
screen_position() {
    hq_screen | python3 -c '
import sys
text = sys.argv[1]
for y, line in enumerate(sys.stdin.read().split("\n")):
    i = line.find(text)
    if i >= 0:
        print(sum(2 if ord(c) > 0x2E80 else 1 for c in line[:i]), y)
        break
' "$1"
}

# The CPU control panel's rows, found wherever the panel stands now.
compile_and_run_fast() {
    local x y
    read -r x y <<<"$(screen_position '编译 运行 暂停')"
    [ -n "${x:-}" ] && hq_click $((x + 1)) "$y" # 编译
    [ -n "${x:-}" ] && hq_click $((x + 6)) "$y" # 运行
    read -r x y <<<"$(screen_position '快速 慢速')"
    [ -n "${x:-}" ] && hq_click $((x + 1)) "$y" # 快速
    return 0
}

# Brings the editor forward, empties it (unless told it is empty) and types a
# level's solution. The game takes one record per frame, so this queues a few
# seconds of input.
type_solution() {
    local file=$1
    hq_click 50 22
    count 2
    if [ "${2:-}" != empty ]; then
        # The random typing stays short: a few screens of keys clear it.
        hq_keys -N 30 Down
        hq_keys -N 40 Right
        hq_keys -N 120 BSpace
        count 190
    fi
    while IFS= read -r line || [ -n "$line" ]; do
        line=${line%%;*}
        [ -n "${line// /}" ] || continue
        hq_type "$line"
        hq_keys Enter
        count $((${#line} + 1))
    done <"$file"
}

current_level() { hq_screen | { grep -o '关卡说明-第[0-9]*关' || true; } | head -n 1 | tr -dc '0-9'; }

hq_start

# A level played properly first: level 1 compiled and run fast must complete.
type_solution "$HQ_SRC/tests/levels/level01.asm" empty
hq_click 56 0 # CPU控制
sleep 0.2
compile_and_run_fast
hq_wait_for '关卡说明-第2关' 40 || hq_fail "level 1 did not complete when run fast"
echo "level 1 completed by a fast run"

# Every bar button (twice: each toggles its panel) and every CPU control button once.
for x in "${bar_x[@]}"; do
    hq_click "$x" 0
    hq_click "$x" 0
done
for position in "${cpu_buttons[@]}"; do
    read -r x y <<<"$position"
    hq_click "$x" "$y"
done

start=$(date +%s)
paced_since=$(($(date +%s%N) / 1000000))
sent=0
baseline=0 peak=0 last_sample=0 last_resize=$start samples=0
while :; do
    now=$(date +%s)
    elapsed=$((now - start))
    [ "$elapsed" -lt "$seconds" ] || break
    kill -0 "$HQ_PID" 2>/dev/null || hq_fail "the game died after $elapsed s (status $(cat "$HQ_ROOT/exit" 2>/dev/null))"

    if [ $((now - last_sample)) -ge 5 ]; then
        rss=$(hq_rss)
        [ "$rss" -gt "$peak" ] && peak=$rss
        [ "$baseline" -eq 0 ] && [ "$elapsed" -ge 20 ] && baseline=$rss
        samples=$((samples + 1))
        last_sample=$now
        [ $((samples % 12)) -eq 0 ] && echo "  ${elapsed} s: rss ${rss} kB"
    fi

    if [ $((now - last_resize)) -ge 25 ]; then
        # Below the minimum size and back.
        tmux -S "$HQ_SOCK" resize-window -x $((100 + RANDOM % 60)) -y $((20 + RANDOM % 12))
        sleep 0.5
        hq_click $((RANDOM % 100)) $((RANDOM % 20))
        tmux -S "$HQ_SOCK" resize-window -x 170 -y 45
        last_resize=$now
        continue
    fi

    case $((RANDOM % 20)) in
    0 | 1 | 2)
        word=$(pick words)
        hq_type "$word"
        count $((${#word} + 1))
        [ $((RANDOM % 2)) -eq 0 ] && hq_keys Enter
        ;;
    3) word=$(pick chinese); hq_type "$word"; count $((2 * ${#word})) ;;
    4 | 5 | 6) hq_keys "$(pick keys)"; count 1 ;;
    7 | 8) hq_click "$(pick bar_x)" 0; count 2 ;;
    9 | 10) read -r x y <<<"$(pick cpu_buttons)"; hq_click "$x" "$y"; count 2 ;;
    11 | 12)
        count 5
        read -r x y <<<"$(pick headers)"
        hq_press "$x" "$y"
        for _ in 1 2 3; do
            x=$((x + RANDOM % 21 - 10)) y=$((y + RANDOM % 9 - 4))
            ((x < 0)) && x=0
            ((y < 0)) && y=0
            sleep 0.02
            hq_drag_to "$x" "$y"
        done
        hq_release "$x" "$y"
        ;;
    13) for _ in 1 2 3 4 5 6; do hq_move $((RANDOM % 170)) $((RANDOM % 45)); done; count 6 ;;
    14) hq_click $((RANDOM % 170)) $((RANDOM % 45)); count 2 ;;
    15) n=$((1 + RANDOM % 20)); hq_keys -N "$n" "$(pick keys)"; count "$n" ;;
    16)
        level=$(current_level)
        file=$(printf '%s/tests/levels/level%02d.asm' "$HQ_SRC" "${level:-1}")
        [ -f "$file" ] || file=$HQ_SRC/tests/levels/level01.asm
        type_solution "$file"
        hq_click 56 0
        compile_and_run_fast
        count 8
        ;;
    *) sleep 0.1 ;;
    esac
    sleep "0.0$((RANDOM % 8))"
    keep_pace
done

final=$(hq_rss)
[ "$final" -gt "$peak" ] && peak=$final
[ "$baseline" -gt 0 ] || baseline=$final
code_bytes=$(cat "$HQ_DIR"/levels/*.txt 2>/dev/null | wc -c)
echo "rss: after 20 s ${baseline} kB, peak ${peak} kB, final ${final} kB (${samples} samples); level $(current_level) on screen; ${code_bytes} bytes of saved code"
[ "$final" -le $((2 * baseline + 20480)) ] || hq_fail "memory keeps growing: ${baseline} kB after 20 s, ${final} kB at the end"

tmux -S "$HQ_SOCK" resize-window -x 170 -y 45
sleep 0.3
hq_quit_with F10
hq_expect_exit 0
hq_check_restored
echo "ok: soak of $seconds s, seed $seed"
