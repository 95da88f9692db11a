#!/usr/bin/env bash
# The terminal console in a real terminal: termdemo runs in a private tmux
# server; the test types, clicks, drags, resizes and quits it, and reads the
# screen back with capture-pane. Usage: terminal_tmux.test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
demo=$build/tests/termdemo
if [[ ! -x $demo ]]; then
    echo "missing $demo (build the termdemo target)" >&2
    exit 1
fi
command -v tmux > /dev/null || { echo "tmux not installed" >&2; exit 1; }

exec python3 - "$demo" <<'PY'
import os, shutil, subprocess, sys, tempfile, time, unicodedata

demo = os.path.abspath(sys.argv[1])
work = tempfile.mkdtemp(prefix="asmquest-tmux-")
sock = os.path.join(work, "tmux.sock")

def tmux(*args):
    return subprocess.run(["tmux", "-S", sock, *args], check=True, capture_output=True, text=True).stdout

def width(ch):
    return 2 if unicodedata.east_asian_width(ch) in "WF" else 1

def screen():
    return tmux("capture-pane", "-p", "-t", target).split("\n")

def cells(line):
    """The line as one entry per terminal column (a wide character, then None)."""
    out = []
    for ch in line:
        out.append(ch)
        if width(ch) == 2:
            out.append(None)
    return out

def find(text, lines=None):
    """(row, column) of text on screen, columns counted the way the terminal does."""
    for row, line in enumerate(lines or screen()):
        i = line.find(text)
        if i >= 0:
            return row, sum(width(c) for c in line[:i])
    return None

def at(row, column, lines=None):
    c = cells((lines or screen())[row])
    return c[column] if column < len(c) else " "

failures = []

def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)
        print("\n".join(screen()))

def wait_for(condition, timeout=10.0, message="condition"):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        lines = screen()
        if condition(lines):
            return True
        time.sleep(0.02)
    check(False, "timed out waiting for " + message)
    return False

def wait_text(text, timeout=10.0):
    return wait_for(lambda lines: find(text, lines) is not None, timeout, repr(text))

def keys(*args):
    tmux("send-keys", "-t", target, *args)

def typed(text):
    tmux("send-keys", "-t", target, "-l", text)

def mouse(code, x, y, press=True):
    """An SGR mouse report; x and y are 0-based cells."""
    typed("\x1b[<%d;%d;%d%s" % (code, x + 1, y + 1, "M" if press else "m"))

def flags():
    return tmux("display", "-p", "-t", target,
                "#{mouse_any_flag}#{mouse_sgr_flag}#{alternate_on}#{cursor_flag}").strip()

def start(name):
    global target
    pidfile = os.path.join(work, name + ".pid")
    command = ("cd %s; saved=$(stty -g); sh -c 'echo $$ > %s; exec %s'; rc=$?; "
               "if [ \"$(stty -g)\" = \"$saved\" ]; then echo STTY=same; else echo STTY=changed; fi; "
               "echo EXIT=$rc; sleep 600") % (work, pidfile, demo)
    if target is None:
        tmux("new-session", "-d", "-s", "t", "-n", name, "-x", "200", "-y", "50", command)
    else:
        tmux("new-window", "-t", "t:", "-n", name, command)
    target = "t:" + name
    if not wait_text("点击次数=0"):
        raise RuntimeError("termdemo did not start")
    with open(pidfile) as f:
        return int(f.read())

def borders_aligned(lines, top, bottom, left, right, what):
    for row in range(top, bottom + 1):
        if at(row, left, lines) not in "|+" or at(row, right, lines) not in "|+x":
            check(False, "%s: border not at columns %d and %d in row %d: %r" % (what, left, right, row, lines[row]))
            return

target = None
try:
    pid = start("main")
    check(flags() == "1111", "terminal modes while running (mouse any, SGR, alternate screen, cursor): " + flags())

    # Typing: ASCII, Chinese (UTF-8 in, GBK inside), ASCII again, all in the editor.
    typed("mov r1")
    typed("你好")
    typed("xyz")
    if wait_text("mov r1你好xyz"):
        check(find("mov r1你好xyz") == (4, 6), "typed text at row 4, column 6: %s" % (find("mov r1你好xyz"),))
        check(find("xyz") == (4, 16), "text after Chinese at column 16: %s" % (find("xyz"),))

    # Columns after Chinese text and after GBK glyphs the terminal draws narrow.
    lines = screen()
    check(find("|A", lines) == (8, 78), "after 中文对齐: %s" % (find("|A", lines),))
    check(find("|B", lines) == (9, 78), "after α①—○: %s" % (find("|B", lines),))
    borders_aligned(lines, 2, 13, 69, 110, "button window")
    borders_aligned(lines, 2, 11, 3, 64, "editor window")

    # Keys as the console reports them: vk / character / control state.
    for key, shown in [("C-c", "键=43/03/0008"), ("S-Left", "键=25/00/0110"), ("Home", "键=24/00/0100"),
                       ("F5", "键=74/00/0000"), ("Escape", "键=1B/1B/0000"), ("BSpace", "键=08/08/0000")]:
        keys(key)
        wait_text(shown, 5.0)
    check(subprocess.run(["kill", "-0", str(pid)]).returncode == 0, "Ctrl+C must not end the program")
    # Shift+Left selected the 'z', Home dropped the selection at the start of
    # the line, where Backspace removes nothing.
    wait_text("|0|mov r1你好xyz ")

    # Hover, then a flood of motion: merged moves keep the program responsive.
    mouse(35, 73, 12)
    wait_text("悬停=是")
    mouse(35, 90, 10)  # inside the window, off the button
    wait_text("悬停=否")
    flood = "".join("\x1b[<35;%d;%dM" % (20 + i % 60, 20 + i % 20) for i in range(300)) + "\x1b[<35;74;13M"
    typed(flood)
    # Unmerged, 300 records at one per frame would take five seconds.
    wait_for(lambda lines: find("悬停=是", lines) is not None, 2.5, "hover after 300 queued moves")

    # A click: press and release over the button.
    mouse(0, 73, 12)
    mouse(0, 73, 12, press=False)
    wait_text("点击次数=1")

    # Drag the button window by its title row, 20 rows down.
    mouse(0, 75, 2)
    for y in range(3, 23):
        mouse(32, 75, y)
    mouse(0, 75, 22, press=False)
    wait_for(lambda lines: find("按钮窗口", lines) == (22, 70), message="window dragged to row 22")
    lines = screen()
    borders_aligned(lines, 22, 33, 69, 110, "dragged window")
    check(find("点我", lines) == (32, 72), "button moved with its window: %s" % (find("点我", lines),))

    # Shrink, then grow back: what was outside must be painted again.
    tmux("resize-window", "-t", target, "-x", "120", "-y", "30")
    wait_text("尺寸=120x30")
    lines = screen()
    check(len([l for l in lines if l.strip()]) > 5 and find("mov r1你好x", lines) == (4, 6),
          "editor repainted after shrinking")
    tmux("resize-window", "-t", target, "-x", "200", "-y", "50")
    wait_text("尺寸=200x50")
    wait_for(lambda lines: find("点我", lines) == (32, 72), message="button painted again after growing")
    lines = screen()
    borders_aligned(lines, 22, 33, 69, 110, "window after resizing")
    check(lines[34][69:111] == "+" + "-" * 40 + "+", "bottom border after resizing: %r" % lines[34])
    check(find("mov r1你好x", lines) == (4, 6), "editor text after resizing")

    # F10 ends the program and gives the terminal back.
    keys("F10")
    wait_text("EXIT=0")
    wait_text("STTY=same")
    check(flags() == "0001", "terminal modes after F10: " + flags())

    # Signals: the terminal is restored, the signal then ends the program.
    # A sanitizer's own SIGSEGV handler, when there is one, decides that exit status.
    for name, signal, statuses in [("term", "TERM", [143]), ("segv", "SEGV", [139, 1]), ("hup", "HUP", [129])]:
        pid = start(name)
        subprocess.run(["kill", "-" + signal, str(pid)], check=True)
        wait_for(lambda lines: any(find("EXIT=%d" % s, lines) for s in statuses), message="exit on SIG" + signal)
        wait_text("STTY=same")
        check(flags() == "0001", "terminal modes after SIG%s: %s" % (signal, flags()))
except RuntimeError as e:
    failures.append(str(e))
finally:
    subprocess.run(["tmux", "-S", sock, "kill-server"], capture_output=True)
    shutil.rmtree(work, ignore_errors=True)

if failures:
    print("%d failure(s)" % len(failures))
    sys.exit(1)
print("terminal tmux test passed")
PY
