# A levels directory the game cannot write to, or a full disk, costs the
# player a message in the console panel, not the game: it keeps running,
# keeps what was saved before, and quits normally. While saving fails the bar
# says 进度未保存 and F10 asks first (F10 again quits). Two games in one folder:
# the second plays read-only or quits; a crashed game's lock is taken over.
# The size prompt leaves nothing behind.
set -euo pipefail
. "$2/tests/hardening_tmux.sh"
hq_setup "$@"

# Plays a little and quits; the game must still be there to quit. With
# "unsaved", F10 first asks (retry or quit) and the second F10 quits.
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
    if [ "${1:-}" = unsaved ]; then
        hq_screen | head -n 1 | grep -qF '进度未保存' || hq_fail "no 进度未保存 mark on the bar"
        hq_keys F10
        hq_wait_for '重试：再保存一次' 5 || hq_fail "F10 did not ask while progress is unsaved"
        sleep 0.3
        kill -0 "$HQ_PID" 2>/dev/null || hq_fail "F10 quit although progress was not saved"
    fi
    hq_quit_with F10
    hq_expect_exit 0
    hq_check_restored
}

# levels is a file, so nothing can be saved under it.
dir=$HQ_ROOT/file-in-the-way
mkdir -p "$dir"
echo 'not a directory' >"$dir/levels"
hq_start "$dir"
hq_wait_for '不能写入' 5 || hq_fail "no message when levels is a file"
play_and_quit unsaved
[ "$(cat "$dir/levels")" = 'not a directory' ] || hq_fail "the file named levels was changed"
echo "ok: levels is a file"

# A directory without write permission (meaningless for root, who may write anyway).
if [ "$(id -u)" -ne 0 ]; then
    dir=$HQ_ROOT/read-only
    mkdir -p "$dir/levels"
    chmod 555 "$dir/levels"
    hq_start "$dir"
    hq_wait_for '不能写入' 5 || hq_fail "no message when levels is read-only"
    play_and_quit unsaved
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
    hq_click 50 22
    hq_type 'x' # something to keep: nothing is written before the player has played
    hq_wait_for_file "$dir/levels/上次关卡.bin" 5 || hq_fail "the first save did not happen"
    sleep 0.3
    dd if=/dev/zero of="$dir/filler" bs=1k 2>/dev/null || true
    hq_click 50 22
    hq_type 'add r3 r1 r2 and more text than fits'
    hq_wait_for '无法保存进度' 5 || hq_fail "no message when the disk is full"
    [ "$(cat "$dir/levels/第1关代码.txt")" = 'x' ] || hq_fail "a failed save changed the code file"
    rm -f "$dir/filler"
    hq_click 50 22 # the message brought the console panel forward
    hq_type ' x'
    sleep 0.5
    grep -q 'more text' "$dir/levels/第1关代码.txt" || hq_fail "saving did not resume once there was room"
    play_and_quit
    echo "ok: full disk"
else
    echo "skip: full disk (cannot mount a tmpfs here)"
fi

# A read-only folder (a read-only mount: root may write anywhere else): the
# console says where progress could be kept, and nothing is written.
dir=$HQ_ROOT/read-only-mount
mkdir -p "$dir"
if mount --bind -o ro "$dir" "$dir" 2>/dev/null; then
    HQ_MOUNTS+=("$dir")
    hq_start "$dir"
    hq_wait_for '不能写入' 5 || hq_fail "no word at start in a read-only folder"
    hq_wait_for '例如' 5 || hq_fail "the message does not say where progress could be kept"
    play_and_quit unsaved
    [ -z "$(ls -A "$dir")" ] || hq_fail "something was written into the read-only folder"
    echo "ok: read-only folder"
else
    echo "skip: read-only folder (cannot mount here)"
fi

# The size prompt: quit in a window too small, nothing is left behind.
dir=$HQ_ROOT/size-prompt
mkdir -p "$dir"
small=$HQ_ROOT/small.sock
tmux -S "$small" new-session -d -x 120 -y 30 "cd '$dir' && '$HQ_BIN'; echo \$? > '$HQ_ROOT/small-exit'; sleep 60"
for ((i = 0; i < 100; i++)); do
    tmux -S "$small" capture-pane -p | grep -qF '请先按下F11全屏' && break
    sleep 0.1
done
tmux -S "$small" send-keys F10
hq_wait_for_file "$HQ_ROOT/small-exit" 10 || hq_fail "F10 did not end the size prompt"
tmux -S "$small" kill-server
[ -z "$(ls -A "$dir")" ] || hq_fail "the size prompt left $(ls -A "$dir")"
echo "ok: the size prompt leaves nothing"

# Two games in one folder: the second sees the first's lock (its process id)
# and plays read-only, saving nothing; after the first is killed its lock is
# taken over with a note, and removed when the game quits.
dir=$HQ_ROOT/shared
mkdir -p "$dir"
first=$HQ_ROOT/first.sock
tmux -S "$first" new-session -d -x 170 -y 45 "cd '$dir' && exec '$HQ_BIN'"
lock=$dir/levels/正在使用.lock
hq_wait_for_file "$lock" 10 || hq_fail "the first game took no lock"
first_pid=$(sed -n 's/^pid=//p' "$lock")
[ -n "$first_pid" ] && kill -0 "$first_pid" || hq_fail "the lock names no running game: $(cat "$lock")"
hq_start "$dir"
hq_wait_for '另一个游戏' 5 || hq_fail "the second game did not notice the first"
hq_wait_for "进程$first_pid" 2 || hq_fail "the question does not name the first game's process"
hq_keys Enter # 只读继续
hq_wait_for '只读：进度不保存' 5 || hq_fail "no read-only mark on the bar"
hq_click 50 22
hq_type 'add r3 r1 r2'
sleep 0.5
[ ! -e "$dir/levels/第1关代码.txt" ] || hq_fail "the read-only game saved code"
hq_quit_with F10
hq_expect_exit 0
grep -q "^pid=$first_pid\$" "$lock" || hq_fail "the read-only game changed the lock: $(cat "$lock")"
kill -KILL "$first_pid"
tmux -S "$first" kill-server 2>/dev/null || true
hq_start "$dir"
hq_wait_for '已接管上次的游戏' 5 || hq_fail "a crashed game's lock was not taken over with a note"
grep -q "^pid=$HQ_PID\$" "$lock" || hq_fail "the lock does not name the new game: $(cat "$lock")"
hq_quit_with F10
hq_expect_exit 0
[ ! -e "$lock" ] || hq_fail "the lock stayed after the game quit"
iconv -f GBK -t UTF-8 "$dir/log.txt" | grep -q '另一个游戏正在使用这个文件夹' || hq_fail "log.txt does not tell of the read-only game"
echo "ok: two games in one folder"
