#!/usr/bin/env python3
"""Copies the C++ sources for emscripten's clang, which has no -fexec-charset:
every plain string literal with Chinese text gets its GBK bytes as \\x escapes,
so the program's text is the same bytes g++ makes with -fexec-charset=GBK.
u8"..." literals, comments and ASCII stay as written. Files whose output is
unchanged are not rewritten, so the build stays incremental.

    gbk_literals.py SRC_DIR OUT_DIR
"""
import os
import sys

HEX = set("0123456789abcdefABCDEF")


def convert_literal(body):
    """The body of a plain "..." literal (without quotes), with GBK escapes."""
    out = []
    i = 0
    last_was_hex = False  # the previous piece ended in a \x escape
    while i < len(body):
        c = body[i]
        if c == "\\":
            # An escape as written: copy it whole (\x.. runs to the last hex digit).
            j = i + 1
            if j < len(body) and body[j] == "x":
                j += 1
                while j < len(body) and body[j] in HEX:
                    j += 1
                last_was_hex = True
            else:
                j += 1
                last_was_hex = False
            out.append(body[i:j])
            i = j
            continue
        if ord(c) < 0x80:
            # A hex digit right after a \x escape would extend it: split the literal.
            if last_was_hex and c in HEX:
                out.append('" "')
            out.append(c)
            last_was_hex = False
        else:
            out.append("".join("\\x%02X" % b for b in c.encode("gbk")))
            last_was_hex = True
        i += 1
    return "".join(out)


def convert(text):
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(text[i:j])
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(text[i:j])
            i = j
        elif c == '"' or c == "'":
            k = i + 1
            while k < n and text[k] != c:
                k += 2 if text[k] == "\\" else 1
            body = text[i + 1:k]
            # A prefix (u8, u, U, L) was copied just before as an identifier.
            plain = c == '"' and not (out and out[-1] in ("u8", "u", "U", "L"))
            if plain and any(ord(ch) >= 0x80 for ch in body):
                body = convert_literal(body)
            out.append(c + body + c)
            i = k + 1
        elif c.isalnum() or c == "_":
            # A whole identifier or number, so a quote inside 1'000 or a prefix is seen with it.
            j = i
            while j < n and (text[j].isalnum() or text[j] == "_"):
                j += 1
            if j < n and text[j] == "'" and c.isdigit():
                j += 1  # digit separator
            out.append(text[i:j])
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def main():
    src, dst = sys.argv[1:3]
    kept = set()
    for root, _, files in os.walk(src):
        for name in files:
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(root, name)
            target = os.path.join(dst, os.path.relpath(path, src))
            kept.add(target)
            with open(path, encoding="utf-8") as f:
                text = convert(f.read())
            try:
                with open(target, encoding="utf-8") as f:
                    if f.read() == text:
                        continue
            except FileNotFoundError:
                pass
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "w", encoding="utf-8") as f:
                f.write(text)
    # A source moved or deleted must not stay behind in the copy (the web
    # build globs it and would link both).
    for root, _, files in os.walk(dst):
        for name in files:
            path = os.path.join(root, name)
            if name.endswith((".cpp", ".h")) and path not in kept:
                os.remove(path)


if __name__ == "__main__":
    main()
