#!/usr/bin/env bash
# The level texts and the manual inside the real game in a real terminal: the
# first start describes level 1 with its pass count, the bar's 说明书 button
# shows the manual and its headings open by key and by click (the flags page
# among them), level 1's solution without hlt fails its first run, and with
# hlt level 1's reference solution,
# typed into the editor, compiled and run fast, completes the level, after
# which the console congratulates and the panel describes level 2; there the
# same program fails, the report gives R3 = R1 x R2 with the inputs, and
# 重放 sets those inputs up again. Then a teacher's level from custom-levels/
# is listed in 选关, chosen, played to completion and its code kept; it is
# marked 已通过, and the next start offers it, with its code and its mark.
# Usage: levels_game_tmux.test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
game=$(cd "$1" && pwd)/asmquest
[[ -x $game ]] || { echo "missing $game (build the asmquest target)" >&2; exit 1; }
command -v tmux > /dev/null || { echo "tmux not installed" >&2; exit 1; }
export LC_ALL=C.UTF-8 PYTHONPATH="$(cd "$2" && pwd)/tests/tools"

exec python3 - "$game" <<'PY'
import re, sys, time
from tmux_session import TmuxSession

s = TmuxSession(sys.argv[1])
wait_for, find, click, send = s.wait_for, s.find, s.click, s.type

def tmux(*args):
    return s.tmux(*args)

try:
    wait_for("关卡说明-第1关", "the level panel is titled for level 1")
    wait_for("让r3 = r1 + r2", "the first start describes level 1")
    wait_for("再通过一次(共十进制257次)就进入下一关", "level 1 tells how many passes complete it")

    bar = wait_for("说明书", "the bar has a 说明书 button")
    if bar:
        click(bar[0] + 1, bar[1])
        wait_for("- 说明书", "the manual opens on its root heading")
        wait_for("+ 指令集", "the manual lists the instruction set closed")
        tmux("send-keys", "Down", "Enter")
        wait_for("- 操作指南", "Enter opens the operating guide")
        wait_for("顶部一排按钮打开面板", "the guide's text shows under its heading")
        tmux("send-keys", "End")
        wait_for("F10", "End scrolls to the guide's last lines")
        tmux("send-keys", "Home")
        guide = wait_for("- 操作指南", "Home scrolls back to the top")
        if guide:
            click(guide[0] + 2, guide[1])
        heading = wait_for("+ 指令集", "a click closes the guide again")
        if heading:
            click(heading[0] + 2, heading[1])
            wait_for("+ 字段", "a click opens the instruction set")
            flags = wait_for("+ 标志位", "the instruction set has a page on the flags")
            if flags:
                click(flags[0] + 2, flags[1])
                wait_for("标志位字节：第0位Z，第1位C，第2位S，第3位I", "the flags page opens with the flag byte's layout")
                click(flags[0] + 2, flags[1])
            wait_for("+ 标签和数字", "the instruction set has a page on labels and numbers")
        click(bar[0] + 1, bar[1])  # in front already: the toggle closes it

    editor = wait_for("汇编代码编辑器", "the bar has the editor button")
    click(60, 20)  # into the editor, which raises it
    send("add r3 r1 r2")
    # Without hlt the run ends on the zero word: that is a failed run, not a pass.
    cpu = find("CPU控制")
    if cpu:
        click(cpu[0] + 1, cpu[1])
        s.click_text("编译", "the CPU buttons show")
        time.sleep(0.2)
        s.click_text("运行", "the run button shows")
        wait_for("你是不是没写hlt？", "the exception's own hint stays")
        wait_for("第1次检验未通过：程序没有执行hlt就停", "a halt without hlt fails the run")
        if s.find("恭喜通过第1关"):
            s.fail("a crash is no pass")
    click(60, 20)
    tmux("send-keys", "Enter")
    send("hlt")
    wait_for("add r3 r1 r2", "the solution is typed into the editor")
    cpu = find("CPU控制")
    if cpu:
        click(cpu[0] + 1, cpu[1])
        compile_button = wait_for("编译", "the CPU buttons show")
        fast = find("快速")
        run = find("运行")
        if compile_button and fast and run:
            click(compile_button[0] + 1, compile_button[1])
            time.sleep(0.2)
            click(fast[0] + 1, fast[1])
            click(run[0] + 1, run[1])
            wait_for("关卡说明-第2关", "257 passes complete level 1", timeout=60)
            wait_for("将r1*r2保存到r3", "the panel then describes level 2")
            wait_for("恭喜通过第1关！", "the console congratulates on level 1")
            wait_for("你的程序：2条指令，平均每次检验2步。", "and says how small and fast the program was")
            wait_for("接下来：第2关", "and says what comes next")
            # Level 1's program fails level 2: the report gives R3 = R1 x R2
            # and the inputs, and 重放 sets those inputs up again.
            if not s.find("|编译 运行"):
                click(cpu[0] + 1, cpu[1])  # back in front if anything covers it (a click in front would close it)
            click_text = s.click_text
            click_text("编译", "the CPU buttons show again")
            time.sleep(0.2)
            click_text("运行", "the run button shows")
            wait_for("第1次检验未通过：", "a failed run is reported")
            report = "\n".join(s.screen())
            m = re.search(r"R3：应为([0-9A-F]{2})，实际为([0-9A-F]{2}).*?本次输入：R1=([0-9A-F]{2}) R2=([0-9A-F]{2})", report, re.S)
            if not m:
                s.fail("the report names R3 and lists R1 and R2")
            else:
                expected, actual, r1, r2 = (int(g, 16) for g in m.groups())
                if expected != (r1 * r2) & 0xFF or actual != (r1 + r2) & 0xFF:
                    s.fail("R3 should be R1 x R2 and is R1 + R2")
                if not s.find("|编译 运行"):
                    click(cpu[0] + 1, cpu[1])
                click_text("重放", "the replay button shows")
                wait_for("R1=%02X R2=%02X R3=00" % (r1, r2), "重放 restores R1 and R2")
                wait_for("PC=0000", "重放 starts the run from its beginning")

    # A teacher's levels: the files in custom-levels/ are listed in 选关 under
    # their titles (a broken one marked, its errors in the console), and one
    # plays like a level: its text, its boundary runs, its congratulations.
    import os, shutil
    source = os.path.join(os.environ["PYTHONPATH"], "..", "..", "custom-levels")
    shutil.copytree(source, os.path.join(s.cwd, "custom-levels"))
    with open(os.path.join(s.cwd, "custom-levels", "坏.toml"), "w", encoding="utf-8") as f:
        f.write('title = "坏"\nreference = "hlt"\npassess = 3\n[check]\nregisters = ["r4"]\n')
    tmux("send-keys", "F3")
    wait_for("相等", "选关 lists a teacher's level under its title")
    wait_for("坏      有误", "a broken level file is marked")
    tmux("send-keys", "End", "Up", "Up", "Up", "Enter")
    wait_for("关卡文件有误：", "choosing it says why")
    wait_for("坏.toml:3:11: passess: unknown key", "with the line and the key")
    tmux("send-keys", "F3")
    time.sleep(0.5)
    tmux("send-keys", "End", "Up", "Enter")
    wait_for("关卡说明-相等", "the level panel is titled with the file's title")
    wait_for("若r1等于r2，将r4置为1，否则置为0。", "and shows its text")
    click(60, 20)
    for line in ["sub r0 r1 r2", "jeq r0 r0 YES", "hlt", "label YES", "addi r4 r0 1", "hlt"]:
        send(line)
        tmux("send-keys", "Enter")
    wait_for("addi r4 r0 1", "the solution is typed into the editor")
    tmux("send-keys", "F9")
    time.sleep(0.3)
    if not s.find("速度：快速"):
        tmux("send-keys", "F4")
    tmux("send-keys", "F5")
    wait_for("接下来是2次边界检", "the random runs are followed by the file's boundary runs", timeout=60)
    wait_for("恭喜通过「相等」！", "completing it congratulates with its title")
    wait_for("你的程序：5条指令，平均每次检验3步。", "and gives the program's size and steps")
    code = os.path.join(s.cwd, "levels", "相等代码.txt")
    deadline = time.time() + 5
    while not os.path.exists(code) and time.time() < deadline:
        time.sleep(0.2)
    if not os.path.exists(code) or "addi r4 r0 1" not in open(code, encoding="gbk").read():
        s.fail("its code is kept in levels/相等代码.txt")
    tmux("send-keys", "F3")
    wait_for("相等    已通过", "选关 marks the completed teacher's level")
    tmux("send-keys", "Escape")
    # A restart in the same folder offers the teacher's level last played,
    # with its code, and 选关 still marks it.
    import tempfile
    again = tempfile.mkdtemp(prefix="asmquest-levels-")
    for folder in ("levels", "custom-levels"):
        shutil.copytree(os.path.join(s.cwd, folder), os.path.join(again, folder))
    tmux("send-keys", "F10")
    s.wait_until(lambda: not s.alive(), "F10 quits")
    s.close()
    earlier = s.failures
    s = TmuxSession(sys.argv[1], workdir=again)
    s.failures[:0] = earlier
    wait_for = s.wait_for
    wait_for("你上次玩的是「相等」，是否继续？", "the next start offers the teacher's level last played")
    s.keys("Enter")
    wait_for("关卡说明-相等", "是 goes on with it")
    wait_for("addi r4 r0 1", "with its code")
    s.keys("F3")
    wait_for("相等    已通过", "its mark is kept across the restart")
finally:
    s.close()

if s.failures:
    print("%d failure(s)" % len(s.failures))
    sys.exit(1)
print("level texts and the manual show in the game; level 1 completes")
PY
