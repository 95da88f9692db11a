# Sourced by the hardening_*.test.sh scripts: the real game in a private tmux
# server, driven by keys and SGR mouse sequences, and the checks that the
# terminal came back usable afterwards.
#
#   . "$SRC/tests/hardening_tmux.sh"; hq_setup "$@"
#   hq_start            # the game in $HQ_DIR, 170 x 45
#   hq_click 56 0       # screen cell (x, y), 0-based
#   hq_quit_with F10; hq_expect_exit 0; hq_check_restored

hq_setup() {
    export LC_ALL=C.UTF-8
    HQ_BUILD=$(cd "$1" && pwd)
    HQ_SRC=$(cd "$2" && pwd)
    HQ_BIN=$HQ_BUILD/asmquest
    [ -x "$HQ_BIN" ] || { echo "no game binary at $HQ_BIN" >&2; exit 1; }
    command -v tmux >/dev/null || { echo "tmux is missing" >&2; exit 1; }
    HQ_ROOT=$(mktemp -d /tmp/asmquest-hard-XXXXXX)
    HQ_RUNS=0
    HQ_SOCK=$HQ_ROOT/tmux-0.sock
    HQ_MOUNTS=()
    trap hq_cleanup EXIT
}

hq_cleanup() {
    local sock
    for sock in "$HQ_ROOT"/tmux-*.sock; do tmux -S "$sock" kill-server 2>/dev/null || true; done
    local m
    for m in "${HQ_MOUNTS[@]}"; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true; done
    rm -rf "$HQ_ROOT"
}

hq_sanitized() { grep -q '^ASMQUEST_SANITIZE:BOOL=ON' "$HQ_BUILD/CMakeCache.txt" 2>/dev/null; }

hq_fail() {
    echo "FAIL: $*" >&2
    if [ -n "${HQ_DIR:-}" ] && tmux -S "$HQ_SOCK" has-session 2>/dev/null; then
        echo "--- screen ---" >&2
        tmux -S "$HQ_SOCK" capture-pane -p >&2 || true
    fi
    exit 1
}

# hq_start [DIR]: runs the game in DIR (a fresh directory by default). When the
# game ends, the pane records its exit status and `stty -a`, then runs a plain shell.
hq_start() {
    # A server being shut down still holds its socket for a moment: every run gets its own.
    tmux -S "$HQ_SOCK" kill-server 2>/dev/null || true
    HQ_RUNS=$((HQ_RUNS + 1))
    HQ_SOCK=$HQ_ROOT/tmux-$HQ_RUNS.sock
    HQ_DIR=${1:-$(mktemp -d "$HQ_ROOT/run-XXXXXX")}
    mkdir -p "$HQ_DIR"
    rm -f "$HQ_ROOT/pid" "$HQ_ROOT/exit" "$HQ_ROOT/stty"
    cat >"$HQ_ROOT/pane.sh" <<EOF
cd "$HQ_DIR" || exit 1
ulimit -c 0
(echo \$BASHPID > "$HQ_ROOT/pid"; exec "$HQ_BIN")
status=\$?
stty -a > "$HQ_ROOT/stty" 2>&1
echo \$status > "$HQ_ROOT/exit"
PS1='$ ' exec bash --norc --noprofile
EOF
    tmux -S "$HQ_SOCK" new-session -d -x 170 -y 45 "bash --norc --noprofile $HQ_ROOT/pane.sh"
    hq_wait_for_file "$HQ_ROOT/pid" 10 || hq_fail "the game did not start"
    HQ_PID=$(cat "$HQ_ROOT/pid")
    hq_wait_for '汇编代码编辑器  寄存器' 20 || hq_fail "the game screen did not appear"
}

hq_wait_for_file() { # FILE SECONDS
    local i
    for ((i = 0; i < $2 * 20; i++)); do
        [ -s "$1" ] && return 0
        sleep 0.05
    done
    return 1
}

hq_screen() { tmux -S "$HQ_SOCK" capture-pane -p; }

hq_wait_for() { # TEXT SECONDS
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        hq_screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    return 1
}

hq_keys() { tmux -S "$HQ_SOCK" send-keys "$@"; }
hq_type() { tmux -S "$HQ_SOCK" send-keys -l -- "$1"; }

# Mouse sequences as a terminal with SGR reporting sends them; x, y 0-based.
hq_press() { hq_type $'\e[<0;'"$(($1 + 1));$(($2 + 1))M"; }
hq_drag_to() { hq_type $'\e[<32;'"$(($1 + 1));$(($2 + 1))M"; }
hq_release() { hq_type $'\e[<0;'"$(($1 + 1));$(($2 + 1))m"; }
hq_move() { hq_type $'\e[<35;'"$(($1 + 1));$(($2 + 1))M"; }
# One record per frame: leave the game a frame or two between press and release.
hq_click() {
    hq_press "$1" "$2"
    sleep 0.04
    hq_release "$1" "$2"
    sleep 0.04
}

hq_modes() { tmux -S "$HQ_SOCK" display -p '#{alternate_on}#{mouse_any_flag}#{cursor_flag}'; }

# hq_quit_with KEY|SIGNAL: F10, or a signal name sent to the game.
hq_quit_with() {
    if [ "$1" = F10 ]; then hq_keys F10; else kill -s "$1" "$HQ_PID"; fi
    hq_wait_for_file "$HQ_ROOT/exit" 10 || hq_fail "the game did not end after $1"
}

hq_expect_exit() {
    local status
    status=$(cat "$HQ_ROOT/exit")
    [ "$status" = "$1" ] || hq_fail "exit status $status, expected $1"
}

# The terminal as the shell needs it: main screen, no mouse reporting, a
# visible cursor, canonical input with echo, and a typed command that echoes.
hq_check_restored() {
    local modes
    sleep 0.2
    modes=$(hq_modes)
    [ "$modes" = 001 ] || hq_fail "terminal modes after exit: alternate/mouse/cursor = $modes, expected 001"
    grep -qE '(^|[ ;])icanon( |;|$)' "$HQ_ROOT/stty" || hq_fail "icanon is off after exit: $(cat "$HQ_ROOT/stty")"
    grep -qE '(^|[ ;])echo( |;|$)' "$HQ_ROOT/stty" || hq_fail "echo is off after exit: $(cat "$HQ_ROOT/stty")"
    hq_type 'echo restored-$((6*7))'
    hq_keys Enter
    hq_wait_for 'restored-42' 5 || hq_fail "a command typed after exit shows no output"
    hq_screen | grep -qF 'echo restored-$((6*7))' || hq_fail "a command typed after exit was not echoed"
}

# Resident set size of the game in kB.
hq_rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$HQ_PID/status" 2>/dev/null || echo 0; }
