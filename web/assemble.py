#!/usr/bin/env python3
"""Puts velotan.html together: the page's HTML with its style, the module
(which carries the WebAssembly inside) and the page's script inlined, and a
content security policy that allows exactly that style and that script."""

import argparse
import base64
import hashlib
import sys


def sha256(text):
    digest = hashlib.sha256(text.encode("utf-8")).digest()
    return "'sha256-" + base64.b64encode(digest).decode("ascii") + "'"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--module", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("html")
    parser.add_argument("css")
    parser.add_argument("script")
    args = parser.parse_args()

    def read(path):
        with open(path, encoding="utf-8") as f:
            return f.read()

    html = read(args.html)
    style = "\n" + read(args.css)
    script = "\n" + read(args.module) + "\n" + read(args.script)
    for name, text, tag in (("style", style, "</style"), ("script", script, "</script")):
        if tag in text.lower():
            sys.exit("assemble.py: the %s contains %s>" % (name, tag))

    # Nothing may be fetched: no connections, frames, workers, fonts or
    # images other than data: URLs (the icon); the one style and the one
    # script by their hashes; WebAssembly may be compiled, nothing else
    # evaluated.
    policy = "; ".join([
        "default-src 'none'",
        "script-src %s 'wasm-unsafe-eval'" % sha256(script),
        "style-src %s" % sha256(style),
        "img-src data:",
        "base-uri 'none'",
        "form-action 'none'",
    ])
    for placeholder, value in (("{{CSP}}", policy), ("{{VERSION}}", args.version),
                               ("{{STYLE}}", style), ("{{SCRIPT}}", script)):
        if html.count(placeholder) != 1:
            sys.exit("assemble.py: %s must appear once in %s" % (placeholder, args.html))
    # The script goes in last: nothing inside it may be taken for a placeholder.
    html = html.replace("{{CSP}}", policy).replace("{{VERSION}}", args.version)
    html = html.replace("{{STYLE}}", style)
    head, tail = html.split("{{SCRIPT}}")
    html = head + script + tail

    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write(html)


if __name__ == "__main__":
    main()
