#!/usr/bin/env bash
# The Windows game under wine in a real terminal: it starts, takes typed text
# into the editor, Chinese once per character (saved as level 1's code file, in
# GBK and CR LF text lines), compiles
# and runs level 1 fast until halted runs pass (the pass counter counts), and
# ends with status 0 on F10. (wine's console redraws slowly, a few frames a
# second, so the test does not wait for all 257 passes.) wine's console draws a Chinese character in one cell
# and passes no mouse input, so the button positions come from the Linux game
# in the same layout, and the clicks reach the game through asmquest_wine_mouse
# (the game with typed mouse sequences turned into mouse records). Then two
# games in one folder: the second plays read-only and saves nothing.
# Usage: wine_game_tmux.test.sh WINDOWS_BUILD_DIR SOURCE_DIR   (Linux build: $ASMQUEST_LINUX_BUILD or SOURCE_DIR/build)
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
linux_game=${ASMQUEST_LINUX_BUILD:-$source/build}/asmquest
windows_game=$build/tests/asmquest_wine_mouse.exe
[[ -x $linux_game ]] || { echo "missing $linux_game (build the Linux configuration first)" >&2; exit 1; }
[[ -f $windows_game ]] || { echo "missing $windows_game" >&2; exit 1; }
command -v tmux > /dev/null || { echo "tmux not installed" >&2; exit 1; }
export LC_ALL=C.UTF-8 PYTHONPATH=$source/tests/tools WINEPREFIX=$build/wineprefix
# Start the wine server now, so the game's start-up is quick.
"$source/cmake/wine-run.sh" cmd /c exit > /dev/null 2>&1

exec python3 - "$linux_game" "$windows_game" "$source/cmake/wine-run.sh" <<'PY'
import os, re, sys, time
from tmux_session import TmuxSession

linux_game, windows_game, wine = sys.argv[1:4]
failures = []

# Where the buttons are, in the Linux game's correct double-width layout.
s = TmuxSession(linux_game)
try:
    positions = {}
    bar = s.wait_for("CPU控制", "the Linux game shows its bar")
    memory = s.find("内存")  # the bar's memory button: the memory panel waits behind the level text
    if bar and memory:
        positions["bar"] = bar
        positions["内存"] = memory
        s.click(bar[0] + 1, bar[1])
        for name in ("编译", "运行", "快速"):
            where = s.wait_for(name, "the Linux game shows " + name)
            if where:
                positions[name] = where
    failures += s.failures
finally:
    s.close()
if len(positions) != 5:
    print("FAIL: button positions not found:", positions)
    sys.exit(1)

w = TmuxSession("%s %s; echo EXIT=$?; sleep 60" % (wine, windows_game))
try:
    w.wait_for("R3=", "the Windows game draws its panels", timeout=30)
    w.click(60, 20)  # into the editor, which raises it
    # wine sends a typed Chinese character as a key-down and a key-up that both carry it.
    w.type("add r3 r1 r2 ; 加法")
    w.keys("Enter")
    w.type("hlt")
    levels = os.path.join(w.cwd, "levels")

    def code_file():
        try:
            with open(os.path.join(levels, "第1关代码.txt"), "rb") as f:
                return f.read()
        except OSError:
            return None
    expected = "add r3 r1 r2 ; 加法\r\nhlt".encode("gbk")
    if not w.wait_until(lambda: code_file() == expected,
                        "typed text reaches the editor and level 1's code file, Chinese once, in CR LF lines",
                        timeout=120):
        print("code file:", repr(code_file()))
    if not os.path.isfile(os.path.join(levels, "上次关卡.bin")):
        w.fail("the last-level file is kept in levels")
    # wine redraws a changed screen slowly: each click gets time to land.
    bar = positions["bar"]
    w.click(bar[0] + 1, bar[1])
    time.sleep(1.5)
    x, y = positions["编译"]
    w.click(x + 1, y)
    time.sleep(1.5)
    x, y = positions["内存"]
    w.click(x + 1, y)
    w.wait_for("000 11 23 00 01 01 11 00 01", "编译 loads the program at address 0", timeout=30)
    x, y = positions["bar"]
    w.click(x + 1, y)  # the control panel in front again
    time.sleep(1.5)
    for name in ("快速", "运行"):
        x, y = positions[name]
        w.click(x + 1, y)
        time.sleep(1.5)

    def passes():
        # The counter follows 通过; in wine's one-cell-per-character drawing
        # its digits may land between the two characters.
        for line in w.screen():
            m = re.search(r"通\s*([0-9A-F]{2})\s*过|过 :([0-9A-F]{2})", line)
            if m:
                return int(m.group(1) or m.group(2), 16)
        return 0
    # Run fast, level 1 may be completed before a redraw shows the counter:
    # its congratulation counts as well.
    def completed():
        return any(re.search(r"恭\s*喜\s*通\s*过", line) for line in w.screen())
    w.wait_until(lambda: passes() >= 3 or completed(),
                 "the compiled program runs and passes level 1 again and again", timeout=60)
    w.keys("F10")
    w.wait_for("EXIT=0", "F10 ends the game with status 0", timeout=15)
    failures += w.failures
finally:
    w.close()

# Two games in one folder: the second finds the first's lock (a sharing
# violation on Windows), names its process, plays read-only and saves nothing;
# the first saves, and its lock goes when it quits.
import tempfile
shared = tempfile.mkdtemp(prefix="asmquest-wine-shared-")
levels = os.path.join(shared, "levels")
lock = os.path.join(levels, "正在使用.lock")
code = os.path.join(levels, "第1关代码.txt")

def lock_pid():
    try:
        with open(lock, "rb") as f:
            m = re.search(rb"pid=(\d+)", f.read())
        return m.group(1).decode() if m else None
    except OSError:
        return None

def shows(session, pattern):
    return any(re.search(pattern, line) for line in session.screen())

first = TmuxSession("%s %s; echo EXIT=$?; sleep 60" % (wine, windows_game), workdir=shared)
second = None
try:
    if first.wait_until(lambda: lock_pid() is not None, "the first game takes the folder's lock", timeout=60):
        pid = lock_pid()
        second = TmuxSession("%s %s; echo EXIT=$?; sleep 60" % (wine, windows_game), workdir=shared)
        second.wait_until(lambda: shows(second, r"进\s*程\s*" + pid), "the second game names the first's process", timeout=60)
        second.keys("Enter")  # 只读继续
        second.wait_until(lambda: shows(second, r"只\s*读\s*：\s*进\s*度\s*不\s*保\s*存"), "the read-only mark on the bar", timeout=30)
        second.type("nop")
        time.sleep(3)
        if os.path.exists(code):
            second.fail("the read-only game saved code")
        second.keys("F10")
        second.wait_for("EXIT=0", "F10 ends the read-only game", timeout=30)
        first.type("hlt")
        first.wait_until(lambda: os.path.exists(code) and open(code, "rb").read() == b"hlt", "the first game saves", timeout=60)
        first.keys("F10")
        first.wait_for("EXIT=0", "F10 ends the first game", timeout=30)
        first.wait_until(lambda: not os.path.exists(lock), "the lock goes when the game quits", timeout=10)
    failures += first.failures + (second.failures if second else [])
finally:
    first.close()
    if second:
        second.close()

if failures:
    print("%d failure(s)" % len(failures))
    sys.exit(1)
print("the Windows game plays level 1 under wine; a second game in its folder plays read-only")
PY
