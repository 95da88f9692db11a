"""Drives a program in a private tmux server, as a player would: literal
typing, named keys, SGR mouse sequences, and screen reads in terminal columns."""
import os
import shutil
import subprocess
import tempfile
import time
import unicodedata


def width(ch):
    return 2 if unicodedata.east_asian_width(ch) in "WF" else 1


class TmuxSession:
    def __init__(self, command, columns=170, rows=45, workdir=None):
        self.work = tempfile.mkdtemp(prefix="asmquest-tmux-")
        self.cwd = workdir or self.work
        self.sock = os.path.join(self.work, "tmux.sock")
        self.failures = []
        self.tmux("new-session", "-d", "-x", str(columns), "-y", str(rows), "-c", self.cwd, command)

    def tmux(self, *args):
        return subprocess.run(["tmux", "-S", self.sock, *args], check=True, capture_output=True, text=True).stdout

    def screen(self):
        return self.tmux("capture-pane", "-p").split("\n")

    def find(self, text):
        """(column, row) of the first occurrence of text, in terminal columns."""
        for row, line in enumerate(self.screen()):
            i = line.find(text)
            if i >= 0:
                return sum(width(c) for c in line[:i]), row
        return None

    def alive(self):
        return subprocess.run(["tmux", "-S", self.sock, "has-session"], capture_output=True).returncode == 0

    def fail(self, message):
        self.failures.append(message)
        print("FAIL:", message)
        if self.alive():
            print("\n".join(self.screen()))

    def wait_for(self, text, message, timeout=10.0):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            where = self.find(text)
            if where:
                return where
            time.sleep(0.03)
        self.fail(message)
        return None

    def wait_until(self, predicate, message, timeout=10.0):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if predicate():
                return True
            time.sleep(0.03)
        self.fail(message)
        return False

    def type(self, literal):
        self.tmux("send-keys", "-l", literal)

    def keys(self, *names):
        self.tmux("send-keys", *names)

    def click(self, x, y):
        """Move, press and release the left button at the 0-based cell (x, y)."""
        for code, end in ((35, "M"), (0, "M"), (0, "m")):
            self.type("\x1b[<%d;%d;%d%s" % (code, x + 1, y + 1, end))
            time.sleep(0.05)

    def click_text(self, text, message, offset=1):
        where = self.wait_for(text, message)
        if where:
            self.click(where[0] + offset, where[1])
        return where

    def close(self):
        try:
            self.tmux("kill-server")
        except subprocess.CalledProcessError:
            pass
        shutil.rmtree(self.work, ignore_errors=True)
