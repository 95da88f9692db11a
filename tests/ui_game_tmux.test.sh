#!/usr/bin/env bash
# The toolkit inside the real game in a real terminal: typing and selecting in
# the editor, the clipboard, dragging a panel by its header, closing it with
# its close box and opening it again from the bar, a click after 步进, a
# 2000-character paste, Ctrl+A, Ctrl+Z and Ctrl+Y, the memory panel scrolled over all 64 KiB and the
# console scrolled back over forty lines of compile errors; a bracketed paste undone in one step,
# typing after a click on 编译, F2 round the panels and Esc back to the editor. The game runs in a private
# tmux server; the screen is read back with capture-pane.
# Usage: ui_game_tmux.test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
game=$(cd "$1" && pwd)/asmquest
[[ -x $game ]] || { echo "missing $game (build the asmquest target)" >&2; exit 1; }
command -v tmux > /dev/null || { echo "tmux not installed" >&2; exit 1; }
export LC_ALL=C.UTF-8 PYTHONPATH="$(cd "$2" && pwd)/tests/tools"

exec python3 - "$game" <<'PY'
import re, sys, time
from tmux_session import TmuxSession

session = TmuxSession(sys.argv[1])
tmux, find, keys, text, click = session.tmux, session.find, session.keys, session.type, session.click
wait_for = session.wait_until
failures = session.failures

def mouse(code, x, y, release=False):
    text("\x1b[<%d;%d;%d%s" % (code, x + 1, y + 1, "m" if release else "M"))

def cursor():
    x, y, shown = tmux("display", "-p", "#{cursor_x} #{cursor_y} #{cursor_flag}").split()
    return int(x), int(y), shown == "1"

try:
    wait_for(lambda: find("汇编代码编辑器  寄存器") == (0, 0), "the button bar is drawn")

    # The editor in front, two lines typed.
    click(60, 12)
    wait_for(lambda: find("|汇编代码编辑器 ") == (0, 2), "the editor comes to the front")
    text("add r3 r1 r2")
    keys("Enter")
    text("hlt")
    wait_for(lambda: find("|0|add r3 r1 r2") == (0, 4) and find("|1|hlt ") == (0, 5), "two typed lines")
    wait_for(lambda: cursor() == (6, 5, True), "the caret after 'hlt'")

    # Shift+Left twice selects 'lt' and hides the cursor; copy, collapse, paste.
    keys("S-Left", "S-Left")
    wait_for(lambda: not cursor()[2], "a selection hides the cursor")
    keys("C-c", "Right", "C-v")
    wait_for(lambda: find("|1|hltlt ") == (0, 5), "the copied 'lt' pasted after the selection")
    wait_for(lambda: cursor() == (8, 5, True), "the caret at the end of the pasted line")

    # A click in the gutter toggles a breakpoint: its number turns red (0xCF).
    coloured = lambda: tmux("capture-pane", "-p", "-e").split("\n")[5]
    click(1, 5)
    wait_for(lambda: "\x1b[101m1" in coloured(), "a gutter click marks line 1")
    click(1, 5)
    wait_for(lambda: "\x1b[101m" not in coloured(), "a second click clears it")

    # The register panel dragged two columns right and one row down by its title row.
    left, top = find("|寄存器  ")
    mouse(35, left + 10, top)
    mouse(0, left + 10, top)
    mouse(32, left + 12, top)
    mouse(32, left + 12, top + 1)
    mouse(0, left + 12, top + 1, release=True)
    wait_for(lambda: find("|寄存器  ") == (left + 2, top + 1), "the register panel follows the drag")
    wait_for(lambda: find("|R0=") == (left + 2, top + 3), "its text moves with it")

    # Its close box is the 'x' at the top-right corner of the frame.
    border = find("+------------------------x")
    wait_for(lambda: border is not None, "the moved panel's close box")
    if border:
        close_x = border[0] + 25
        mouse(35, close_x, border[1])
        mouse(0, close_x, border[1])
        mouse(0, close_x, border[1], release=True)
        wait_for(lambda: find("|寄存器  ") is None, "the close box hides the panel")
        bar = find("寄存器  内存")
        click(bar[0] + 1, 0)
        wait_for(lambda: find("|寄存器  ") == (left + 2, top + 1), "the bar button opens it again in place")
    # Stepped, then a click into the text: the caret goes where clicked and
    # stays there, so typing lands there (it used to jump back to the PC's line).
    click_text = session.click_text
    click(30, 12)  # below the text: the caret goes to the end of the last line
    keys("BSpace", "BSpace")  # back to a program that compiles
    wait_for(lambda: find("|1|hlt ") == (0, 5), "the second line is 'hlt' again")
    click_text("CPU控制", "the bar has the CPU control button")
    click_text("编译", "the CPU control panel comes to the front")
    click_text("步进", "the step button shows")
    wait_for(lambda: find("PC=0004") is not None, "one instruction stepped")
    click(5, 5)
    text("Q")
    wait_for(lambda: find("|1|hlQt ") == (0, 5), "typed text lands where the click put the caret")

    # A paste of 2000 characters reaches the editor at once, not a character a frame.
    # Ctrl+A selects everything and Backspace takes it away; Ctrl+Z brings it back, Ctrl+Y empties again.
    keys("C-a", "BSpace")
    wait_for(lambda: find("|0| ") == (0, 4) and find("|1|") is None, "Ctrl+A and Backspace empty the editor")
    keys("C-z")
    wait_for(lambda: find("|1|hlQt ") == (0, 5), "Ctrl+Z gives the text back")
    keys("C-s", "C-y")
    wait_for(lambda: find("|0| ") == (0, 4) and find("|1|") is None, "Ctrl+Y empties it again, Ctrl+S typed nothing")
    pasted = "".join("line%02d " % i + "x" * 42 + "\r" for i in range(40))
    assert len(pasted) == 2000
    start = time.monotonic()
    text(pasted)
    wait_for(lambda: find("|40|") is not None and find("line39 xxxx") is not None, "the whole paste shows",
             timeout=10)
    took = time.monotonic() - start
    print("2000 pasted characters shown after %.2f s" % took)
    if took > 0.5:
        session.fail("2000 pasted characters took %.2f s" % took)

    # The memory panel scrolls over the whole memory: a page down, the wheel, the very end.
    click_text("内存  栈", "the bar has the memory button")
    wait_for(lambda: find("|内存  ") is not None, "the memory panel comes forward")
    top_label = lambda: (lambda at: at and session.screen()[at[1] + 3][at[0] + 1:at[0] + 5])(find("|内存  "))
    wait_for(lambda: top_label() == "0000", "memory starts at 0000")
    # A page down keeps the last row of the page in sight, at the top.
    at = find("|内存  ")
    labels = []
    for line in session.screen()[at[1] + 3:]:
        if not all(c in "0123456789ABCDEF" for c in line[at[0] + 1:at[0] + 5]):
            break
        labels.append(line[at[0] + 1:at[0] + 5])
    last = int(labels[-1], 16)
    keys("PageDown")
    wait_for(lambda: top_label() == "%04X" % last, "a page down shows the rows after the first page")
    mouse(65, at[0] + 10, at[1] + 6)  # wheel towards the player
    wait_for(lambda: top_label() == "%04X" % (last + 0x30), "the wheel scrolls three rows")
    keys("End")
    wait_for(lambda: find("FFF0 ") is not None, "End reaches the last row, FFF0")
    keys("Home")
    wait_for(lambda: top_label() == "0000", "Home goes back to 0000")

    # Forty lines in error: the console keeps them all and scrolls back to the first.
    click_text("编译", "the CPU control panel's compile button")
    wait_for(lambda: find("编译失败：40行有错误") is not None or find("编译失败：40行有错") is not None,
             "the compile reports forty lines")
    console = find("|控制台 ")
    wait_for(lambda: console is not None and find("/共") is not None, "the console border counts its rows")
    if console:
        click(console[0] + 5, console[1] + 5)
        keys("Home")
        wait_for(lambda: find("|第0行：") == (console[0], console[1] + 2), "Home shows the first message")
        # The console's height follows the window: the border names the rows shown.
        page = lambda: re.search(r"-第1-(\d+)行/共", "\n".join(session.screen()))
        wait_for(lambda: page() is not None, "the border shows the position")
        shown = int(page().group(1)) if page() else 12
        mouse(65, console[0] + 5, console[1] + 5)
        wait_for(lambda: find("-第4-%d行/共" % (shown + 3)) is not None, "the wheel scrolls the console")
        keys("End")
        wait_for(lambda: find("|第0行：") is None, "End goes back to the newest messages")

    # A bracketed paste (tmux pastes with -p once the game asked for mode 2004) is one undo step.
    click(30, 12)
    keys("C-a", "BSpace")
    wait_for(lambda: find("|0| ") == (0, 4) and find("|1|") is None, "the editor is emptied for the paste")
    tmux("set-buffer", "add r1 r1 r2\nsub r3 r3 r1\nhlt")
    tmux("paste-buffer", "-p")
    wait_for(lambda: find("|2|hlt ") == (0, 6), "the bracketed paste shows its three lines")
    keys("C-z")
    wait_for(lambda: find("|0| ") == (0, 4) and find("|1|") is None, "one Ctrl+Z takes the whole paste back")
    keys("C-y")
    wait_for(lambda: find("|2|hlt ") == (0, 6), "Ctrl+Y puts it back")

    # After a click on 编译 typed text still reaches the editor; F2 goes round
    # the panels on screen and back to the editor, Esc returns to it at once.
    click_text("编译", "the compile button shows")
    wait_for(lambda: not cursor()[2], "the CPU control panel in front shows no caret")
    text("Q")
    wait_for(lambda: find("|2|hltQ ") == (0, 6), "a letter typed after a click on 编译 reaches the editor")
    wait_for(lambda: cursor()[2], "the editor is in front again")
    rounds = 0
    keys("F2")
    wait_for(lambda: not cursor()[2], "F2 brings another panel forward")
    while not cursor()[2] and rounds < 8:
        keys("F2")
        time.sleep(0.1)
        rounds += 1
    if not cursor()[2]:
        session.fail("F2 comes back round to the editor within the panels on screen")
    keys("F2")
    wait_for(lambda: not cursor()[2], "F2 leaves the editor again")
    keys("Escape")
    wait_for(lambda: cursor()[2] and cursor()[1] == 6, "Esc brings the editor back")

finally:
    session.close()

if failures:
    print("%d failure(s)" % len(failures))
    sys.exit(1)
print("ok")
PY
