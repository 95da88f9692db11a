# The terminal comes back usable however the game ends: F10, SIGTERM, SIGHUP,
# and the fatal signals SIGSEGV and SIGABRT, which must still end the process
# by their default action (status 128 + signal number).
set -euo pipefail
. "$2/tests/hardening_tmux.sh"
hq_setup "$@"
# AddressSanitizer would otherwise take SIGSEGV over (report, exit status 1)
# once the game has restored the terminal and passed the signal on.
if hq_sanitized; then export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}handle_segv=0; fi

for how in F10:0 TERM:143 HUP:129 SEGV:139 ABRT:134; do
    signal=${how%%:*} status=${how##*:}
    hq_start
    modes=$(hq_modes)
    [ "${modes:0:2}" = 11 ] || hq_fail "the game did not take the terminal over (alternate/mouse = ${modes:0:2})"
    # Leave the game in a state worth restoring: a drag in progress and text typed.
    hq_press 20 2
    hq_drag_to 25 4
    hq_type 'nop'
    sleep 0.2
    hq_quit_with "$signal"
    hq_expect_exit "$status"
    hq_check_restored
    echo "ok: $signal -> exit $status, terminal restored"
done
