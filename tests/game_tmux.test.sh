#!/usr/bin/env bash
# The game end to end in a real terminal, with only keys and mouse sequences a
# player can produce: a first start sets up level 1 without a question; the
# program typed into the editor is compiled and run from the CPU control panel
# and the pass counter counts up; 重置 returns it to 00; the code file holds
# the two lines; a panel dragged away is back in place at the second start,
# which offers to continue, 否 (N) keeps level 1's code and Esc continues;
# F9, F4, F5 and F6 work with the 键盘 panel in front and the speed is kept;
# 选关 lists the levels reached and goes to one; F10 quits at the size prompt;
# 步进 and 回退 move the machine both ways; an endless loop is reported; a
# first start at 161 x 33 gives the editor the keys and shows every title; a
# small window shows the size prompt with the sizes, once, however often it is
# resized.
# Usage: game_tmux.test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
game=$(cd "$1" && pwd)/asmquest
[[ -x $game ]] || { echo "missing $game" >&2; exit 1; }
command -v tmux > /dev/null || { echo "tmux not installed" >&2; exit 1; }
export LC_ALL=C.UTF-8 PYTHONPATH="$(cd "$2" && pwd)/tests/tools"

exec python3 - "$game" <<'PY'
import os, re, shutil, sys, tempfile, time
from tmux_session import TmuxSession

game = sys.argv[1]
home = tempfile.mkdtemp(prefix="asmquest-game-")
failures = []

def pass_count(s):
    for line in s.screen():
        m = re.search(r"已通过:([0-9A-F]{2})", line)
        if m:
            return int(m.group(1), 16)
    return None

s = TmuxSession(game, workdir=home)
try:
    s.wait_for("关卡说明-第1关", "a first start sets up level 1")
    if s.find("是否继续"):
        s.fail("a first start asks no question")
    s.click(60, 20)  # into the editor, which raises it
    s.type("add r3 r1 r2")
    s.keys("Enter")
    s.type("hlt")
    s.wait_for("add r3 r1 r2", "the program shows in the editor")
    s.click_text("CPU控制", "the bar has the CPU control button")
    s.click_text("运行", "the CPU control panel comes to the front")
    s.wait_for("请先编译。", "运行 before any compile asks for one")
    # The console beside the control panel shows the message without covering it.
    s.click_text("编译", "the CPU control panel stays in front")
    # The control panel stays in front after a compile that worked; the
    # console right behind it says so.
    s.wait_for("共8字节。", "a compile says it worked")
    s.click_text("运行", "the run button shows after the compile")
    s.wait_until(lambda: (pass_count(s) or 0) >= 3, "the pass counter counts up", timeout=15)
    s.click_text("重置", "the reset button shows")
    s.wait_until(lambda: pass_count(s) == 0, "重置 returns the counter to 00")
    code = os.path.join(home, "levels", "第1关代码.txt")
    s.wait_until(lambda: os.path.exists(code) and open(code, "rb").read() == b"add r3 r1 r2\nhlt",
                 "levels/第1关代码.txt holds exactly the two lines")
    # The function keys with the 键盘 panel in front: compile, the speed, run, pause, go on.
    s.click_text("键盘  CPU控制", "the bar has the keyboard button")
    s.wait_for("|键盘|", "the keyboard panel comes to the front")
    s.keys("F9")
    s.wait_for("共8字节。", "F9 compiles with the keyboard panel in front")
    s.wait_for("速度：慢速", "CPU控制 shows the speed")
    s.keys("F5")
    s.wait_until(lambda: (pass_count(s) or 0) >= 3, "F5 runs", timeout=15)
    s.keys("F6")
    time.sleep(0.5)
    paused = pass_count(s)
    time.sleep(0.5)
    if pass_count(s) != paused:
        s.fail("F6 pauses the run")
    s.keys("F5")
    s.wait_until(lambda: pass_count(s) != paused, "F5 goes on after the pause", timeout=15)
    s.keys("F6")
    # The default layout gives a 170 x 45 window's extra room to the editor and the level text.
    s.wait_until(lambda: s.find("|关卡说明-第1关") == (68, 2), "the level text starts right of a wider editor")
    if not s.screen()[44].startswith("+---"):
        s.fail("the editor reaches the window's last row")
    # The register panel dragged by its title row; where it is let go it stays, across starts.
    left, top = s.find("|寄存器  ")
    for button, x, y, end in ((35, left + 10, top, "M"), (0, left + 10, top, "M"), (32, left + 6, top + 2, "M"),
                              (0, left + 6, top + 2, "m")):
        s.type("\x1b[<%d;%d;%d%s" % (button, x + 1, y + 1, end))
    s.wait_until(lambda: s.find("|寄存器  ") == (left - 4, top + 2), "the register panel follows the drag")
    layout = os.path.join(home, "levels", "布局.txt")
    kept = ("registers %d %d 1" % (left - 3, top + 4)).encode()
    s.wait_until(lambda: os.path.exists(layout) and kept in open(layout, "rb").read(),
                 "levels/布局.txt holds the new place once the panel is let go")
    s.keys("F4")
    s.wait_for("速度：快速", "F4 switches to 快速 and CPU控制 says so")
    time.sleep(0.3)
    s.keys("F10")
    s.wait_until(lambda: not s.alive(), "F10 ends the game")
finally:
    failures += s.failures
    s.close()

s = TmuxSession(game, workdir=home)
try:
    s.wait_for("你上次玩到第1关，是否继续？", "a second start offers to continue")
    s.click_text("是|", "the dialog has a 是 button on its last row", offset=0)
    s.wait_for("关卡说明-第1关", "continuing sets up the saved level")
    s.wait_for("速度：快速", "the speed is kept across starts")
    s.click(60, 20)  # raise the editor above the console
    s.wait_for("add r3 r1 r2", "continuing loads the saved code")
    s.wait_until(lambda: s.find("|寄存器  ") == (left - 4, top + 2), "the dragged panel is back where it was let go")
finally:
    failures += s.failures
    s.close()

# 否 starts level 1 with level 1's saved code, and Esc continues like 是.
s = TmuxSession(game, workdir=home)
try:
    s.wait_for("你上次玩到第1关，是否继续？", "a third start asks again")
    s.keys("n")
    s.wait_for("关卡说明-第1关", "N answers 否: level 1")
    s.click(60, 20)
    s.wait_for("add r3 r1 r2", "否 keeps level 1's saved code in the editor")
    time.sleep(0.3)
    if open(code, "rb").read() != b"add r3 r1 r2\nhlt":
        s.fail("否 changed level 1's code file")
finally:
    failures += s.failures
    s.close()

s = TmuxSession(game, workdir=home)
try:
    s.wait_for("你上次玩到第1关，是否继续？", "a fourth start asks again")
    s.keys("Escape")
    s.wait_for("关卡说明-第1关", "Esc continues the saved level")
finally:
    failures += s.failures
    s.close()

# 步进 and 回退 through the CPU control panel: three steps forward and two
# back give the registers, PC, SP and memory of the first step again, and a
# step forward the state after the second.
def regs(s):
    text = "\n".join(s.screen())
    return {k: v for k, v in re.findall(r"(R[0-9a-f]|PC|SP)=([0-9A-F]+)", text)}

def memory_row(s, label):
    for line in s.screen():
        m = re.search(r"\|" + label + r" ((?:[0-9A-F]{2} ){3})", line)
        if m:
            return m.group(1).split()
    return None

home2 = tempfile.mkdtemp(prefix="asmquest-game-")
s = TmuxSession(game, workdir=home2)
try:
    s.wait_for("关卡说明-第1关", "a first start sets up level 1")
    s.click(60, 20)
    for line in ["addi r4 r0 7", "store r4 r0 r0 0100", "addi r4 r4 1", "store r4 r0 r0 0101", "hlt"]:
        s.type(line)
        s.keys("Enter")
    s.wait_for("store r4 r0 r0 0101", "the stepping program shows in the editor")
    s.click_text("CPU控制", "the bar has the CPU control button")
    s.click_text("编译", "the CPU control panel comes to the front")
    s.wait_for("步数:0", "the step counter starts at 0")
    s.click_text("内存  栈", "the bar has the memory button")  # in front of the level text, beside the controls
    s.wait_for("|内存  ", "the memory panel comes forward")
    for _ in range(3):
        s.click_text("步进", "the step button shows")
        time.sleep(0.15)
    s.wait_for("步数:3", "three steps are counted")
    s.wait_until(lambda: regs(s).get("R4") == "08" and memory_row(s, "0100") == ["07", "00", "00"],
                 "three steps store 07 and count R4 up to 08")
    for _ in range(2):
        s.click_text("回退", "the step-back button shows")
        time.sleep(0.15)
    s.wait_for("步数:1", "two steps back count down to 1")
    s.wait_until(lambda: regs(s).get("R4") == "07" and regs(s).get("PC") == "0004" and regs(s).get("SP") == "FD00"
                 and memory_row(s, "0100") == ["00", "00", "00"], "two steps back give the state after the first step")
    s.click_text("步进", "the step button shows")
    s.wait_until(lambda: regs(s).get("PC") == "0008" and memory_row(s, "0100") == ["07", "00", "00"],
                 "a step forward gives the state after the second step")
    s.keys("S-F7")
    s.wait_until(lambda: regs(s).get("PC") == "0004" and memory_row(s, "0100") == ["00", "00", "00"],
                 "Shift+F7 in the CPU control panel steps back")
    s.keys("F7")
    s.wait_until(lambda: regs(s).get("PC") == "0008" and memory_row(s, "0100") == ["07", "00", "00"],
                 "F7 steps forward again")
finally:
    failures += s.failures
    s.close()
shutil.rmtree(home2, ignore_errors=True)

# A program that never halts, run fast, is reported once after a million steps.
home3 = tempfile.mkdtemp(prefix="asmquest-game-")
s = TmuxSession(game, workdir=home3)
try:
    s.wait_for("关卡说明-第1关", "a first start sets up level 1")
    s.click(60, 20)
    s.type("label L")
    s.keys("Enter")
    s.type("jmp r0 r0 L")
    s.wait_for("jmp r0 r0 L", "the endless loop shows in the editor")
    s.click_text("CPU控制", "the bar has the CPU control button")
    s.click_text("编译", "the CPU control panel comes to the front")
    s.click_text("快速", "the fast button shows")
    s.click_text("运行", "the run button shows")
    s.wait_for("仍未停机", "a million steps without a halt are reported", timeout=30)
    s.wait_for("第1次检验已执行1000000步", "the notice names the run")
finally:
    failures += s.failures
    s.close()
shutil.rmtree(home3, ignore_errors=True)

# 选关: a folder that reached level 3 lists 第1关 to 第3关, the first two marked;
# Down and Enter go from level 2 to level 3.
home4 = tempfile.mkdtemp(prefix="asmquest-game-")
os.makedirs(os.path.join(home4, "levels"))
for name, data in (("上次关卡.bin", b"\x02\x00"), ("最高关卡.bin", b"\x03\x00"), ("第2关代码.txt", b"mul r3 r1 r2\nhlt")):
    open(os.path.join(home4, "levels", name), "wb").write(data)
s = TmuxSession(game, workdir=home4)
try:
    s.wait_for("你上次玩到第2关，是否继续？", "the last level is asked about")
    s.keys("Enter")
    s.wait_for("关卡说明-第2关", "是 continues level 2")
    s.click_text("选关", "the bar has 选关")
    s.wait_for("第1关   已通过", "the list marks completed levels")
    s.wait_for("第2关   已通过", "level 2 is listed")
    s.wait_for(" 第3关 ", "the highest level is listed")
    s.keys("Down", "Enter")
    s.wait_for("关卡说明-第3关", "Down and Enter choose level 3")
finally:
    failures += s.failures
    s.close()
shutil.rmtree(home4, ignore_errors=True)

def prompts(s):
    return sum(line.count("请先按下F11全屏。") for line in s.screen())

# A first start in the smallest window: keys go to the editor, and the titles
# of the editor, the level text and the console all show.
small = tempfile.mkdtemp(prefix="asmquest-small-")
s = TmuxSession(game, columns=161, rows=33, workdir=small)
try:
    s.wait_for("关卡说明-第1关", "161 x 33 is large enough")
    s.type("hlt")
    s.wait_for("|0|hlt ", "keys typed at once go to the editor")
    for title in ("|汇编代码编辑器 ", "|关卡说明-第1关 ", "|控制台 ", "|寄存器 ", "|CPU控制 "):
        if not s.find(title):
            s.fail("the title %s shows" % title)
    last = s.find("  hlt")  # the last line of level 1's text, its example's second line
    if not last or last[1] > 31:
        s.fail("level 1's text shows to its end inside the window")
finally:
    failures += s.failures
    s.close()
shutil.rmtree(small, ignore_errors=True)

s = TmuxSession(game, columns=160, rows=40, workdir=home)
try:
    s.wait_for("请先按下F11全屏。", "a window of 160 x 40 shows the size prompt")
    s.wait_for("窗口至少要161列33行，现在是160列40行。", "the prompt names the size needed and the size there is")
    s.tmux("resize-window", "-x", "150", "-y", "30")
    s.wait_for("现在是150列30行。", "the prompt follows a resize")
    if prompts(s) != 1 or s.find("现在是160列40行"):
        s.fail("an old copy of the prompt stays after a resize")
    s.tmux("resize-window", "-x", "170", "-y", "45")
    s.wait_for("关卡说明", "the game starts once the window is large enough")
finally:
    failures += s.failures
    s.close()

s = TmuxSession(game, columns=160, rows=40, workdir=home)
try:
    s.wait_for("请先按下F11全屏。", "a small window shows the size prompt")
    s.keys("F10")
    s.wait_until(lambda: not s.alive(), "F10 quits at the size prompt")
finally:
    failures += s.failures
    s.close()
shutil.rmtree(home, ignore_errors=True)

if failures:
    print("%d failure(s)" % len(failures))
    sys.exit(1)
print("the game plays end to end in a real terminal")
PY
