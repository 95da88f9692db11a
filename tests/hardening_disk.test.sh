# A levels directory the game cannot write to, or a full disk, costs the
# player a message in the console panel, not the game: it keeps running,
# keeps what was saved before, and quits normally.
set -euo pipefail
. "$2/tests/hardening_tmux.sh"
hq_setup "$@"

# Plays a little and quits; the game must still be there to quit.
play_and_quit() {
    hq_click 50 22
    hq_type 'add r3 r1 r2'
    hq_keys Enter
    hq_type 'hlt'
    sleep 0.5
    hq_click 56 0 # CPU控制
    hq_click 9 6  # 编译
    sleep 0.3
    kill -0 "$HQ_PID" 2>/dev/null || hq_fail "the game died after a failed save"
    hq_quit_with F10
    hq_expect_exit 0
    hq_check_restored
}

# levels is a file, so nothing can be saved under it.
dir=$HQ_ROOT/file-in-the-way
mkdir -p "$dir"
echo 'not a directory' >"$dir/levels"
hq_start "$dir"
hq_wait_for '无法保存进度' 5 || hq_fail "no message when levels is a file"
play_and_quit
[ "$(cat "$dir/levels")" = 'not a directory' ] || hq_fail "the file named levels was changed"
echo "ok: levels is a file"

# A directory without write permission (meaningless for root, who may write anyway).
if [ "$(id -u)" -ne 0 ]; then
    dir=$HQ_ROOT/read-only
    mkdir -p "$dir/levels"
    chmod 555 "$dir/levels"
    hq_start "$dir"
    hq_wait_for '无法保存进度' 5 || hq_fail "no message when levels is read-only"
    play_and_quit
    chmod 755 "$dir/levels"
    echo "ok: read-only levels directory"
else
    echo "skip: read-only levels directory (running as root)"
fi

# A full disk: a tiny tmpfs filled up after the first save.
dir=$HQ_ROOT/full
mkdir -p "$dir"
if mount -t tmpfs -o size=64k tmpfs "$dir" 2>/dev/null; then
    HQ_MOUNTS+=("$dir")
    hq_start "$dir"
    hq_wait_for_file "$dir/levels/上次关卡.bin" 5 || hq_fail "the first save did not happen"
    dd if=/dev/zero of="$dir/filler" bs=1k 2>/dev/null || true
    hq_click 50 22
    hq_type 'add r3 r1 r2 and more text than fits'
    hq_wait_for '无法保存进度' 5 || hq_fail "no message when the disk is full"
    [ -z "$(cat "$dir/levels/第1关代码.txt")" ] || hq_fail "a failed save changed the code file"
    rm -f "$dir/filler"
    hq_click 50 22 # the message brought the console panel forward
    hq_type ' x'
    sleep 0.5
    grep -q 'x' "$dir/levels/第1关代码.txt" || hq_fail "saving did not resume once there was room"
    play_and_quit
    echo "ok: full disk"
else
    echo "skip: full disk (cannot mount a tmpfs here)"
fi
