# Progress files survive SIGKILL at any moment: each holds its old or its new
# content, never part of one. First a program that does nothing but save is
# killed at random moments; then the real game is killed while typing makes it
# rewrite the level's code file one frame after every key.
set -euo pipefail
. "$2/tests/hardening_tmux.sh"
hq_setup "$@"

saver=$HQ_BUILD/tests/hardening_save_loop
[ -x "$saver" ] || hq_fail "missing $saver"

dir=$HQ_ROOT/saver
mkdir -p "$dir"
kills=40
checked=0 # kills after which there were saves to check
for ((i = 1; i <= kills; i++)); do
    (cd "$dir" && exec "$saver" run) &
    pid=$!
    # Nothing is written before the first frame: the kill comes while saves go on.
    for ((w = 0; w < 500; w++)); do
        ls "$dir/levels" 2>/dev/null | grep -qv '\.lock$' && break
        sleep 0.01
    done
    sleep "0.$(printf '%03d' $((5 + RANDOM % 120)))"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    (cd "$dir" && "$saver" check >"$HQ_ROOT/check.txt") || { cat "$HQ_ROOT/check.txt" >&2; hq_fail "a save was left half done after kill $i"; }
    grep -q '^0 files' "$HQ_ROOT/check.txt" || checked=$((checked + 1))
done
[ "$checked" -eq "$kills" ] || hq_fail "only $checked of $kills kills came after a save"
echo "ok: $kills kills of the save loop, $checked of them after saves, $(tail -n 1 "$HQ_ROOT/check.txt")"

# The game: each key is typed before the previous ones (Left after it), so every
# state of the line is the reverse of a prefix of what was typed, and a file cut
# short or mixed from two saves is not one of them.
typed=abcdefghijklmnopqrstuvwxyz0123456789
reversed=
for ((j = 0; j < ${#typed}; j++)); do reversed=${typed:j:1}$reversed; done
for round in 1 2 3 4 5; do
    hq_start
    hq_click 50 22 # the editor in front
    for ((j = 0; j < ${#typed}; j++)); do
        hq_type "${typed:j:1}"
        hq_keys Left
        sleep 0.0$((RANDOM % 5))
        if [ $((RANDOM % 24)) -eq 0 ] && [ "$j" -gt 2 ]; then break; fi
    done
    sleep "0.0$((RANDOM % 10))"
    kill -KILL "$HQ_PID"
    hq_wait_for_file "$HQ_ROOT/exit" 10 || hq_fail "the game did not die"
    code=$HQ_DIR/levels/第1关代码.txt
    [ -f "$code" ] || hq_fail "no code file after round $round"
    content=$(cat "$code")
    case "$reversed" in
    *"$content") ;;
    *) hq_fail "code file after a kill holds '$content', which the editor never held" ;;
    esac
    last=$(od -An -tx1 "$HQ_DIR/levels/上次关卡.bin" | tr -d ' ')
    [ "$last" = 0100 ] || hq_fail "last-level file after a kill holds $last"
    echo "ok: game killed in round $round, code file '$content'"
done
