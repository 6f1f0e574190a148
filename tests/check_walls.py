#!/usr/bin/env python3
"""Keeps the layers' walls: every `#include "..."` in our sources may only
reach the file's own layer or a layer listed as below it; layers that must
stay free of Qt include no Qt header.

Usage: check_walls.py SOURCE_DIR     check the tree, exit 1 on any breach
       check_walls.py --self-test    prove that a wrong include is caught

To add a folder or file: give it a layer in FOLDERS (the longest matching
prefix wins). To let a layer use another: extend its entry in LAYERS. The
library list in the top-level CMakeLists.txt follows the same order.
"""
import os
import re
import sys
import tempfile

# Layer -> the layers its files may include (its own is always allowed).
# Bottom to top; nothing may include upward or sideways.
LAYERS = {
    "platform": set(),
    "ipc": set(),
    "engine": {"platform", "ipc"},
    "settings": {"platform"},
    "model": {"platform", "ipc", "engine", "settings"},
    "platform_qt": {"platform", "ipc"},
    "preview": {"platform", "ipc", "settings", "platform_qt"},
    "skin_qt": {"platform", "ipc", "settings", "platform_qt"},
    "i18n_qt": {"platform", "ipc", "settings", "platform_qt"},
    "menubar": {"platform", "ipc", "settings", "platform_qt"},
    "res": {"platform", "platform_qt"},
    "ui": {"platform", "ipc", "engine", "settings", "model", "platform_qt",
           "preview", "skin_qt", "i18n_qt", "menubar", "res"},
    "app": {"platform", "ipc", "engine", "settings", "model", "platform_qt",
            "preview", "skin_qt", "i18n_qt", "menubar", "res", "ui"},
    "tool": {"ipc"},
}

# Layers whose files must compile without Qt.
QT_FREE = {"platform", "ipc", "engine", "settings", "model", "tool"}

# Path prefix (relative to the source folder) -> layer. A prefix ending in
# "/" is a folder; otherwise it names files (any extension).
FOLDERS = {
    "platform/": "platform",
    "platform/progress_channel": "ipc",
    "platform/tool_args": "ipc",
    "engine/": "engine",
    "skin/": "settings",
    "i18n/": "settings",
    "settings/": "settings",
    "model/": "model",
    "platform/qt/": "platform_qt",
    "preview/": "preview",
    "skin/qt/": "skin_qt",
    "i18n/qt/": "i18n_qt",
    "menubar/": "menubar",
    "res/": "res",
    "ui/": "ui",
    "app/": "app",
    "tool/": "tool",
}

# Folders not checked: they may use any layer.
UNCHECKED = ("tests/", "bench/", "fuzz/", "build/")  # and any build tree

SOURCE_EXT = (".h", ".hpp", ".cpp", ".cc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def layer_of(rel):
    best = None
    for prefix, layer in FOLDERS.items():
        if rel.startswith(prefix) and (best is None or len(prefix) > len(best[0])):
            best = (prefix, layer)
    return best[1] if best else None


def check(root):
    """Returns a list of breaches, one text per offending line."""
    breaches = []
    for dirpath, dirnames, filenames in os.walk(root):
        rel_dir = os.path.relpath(dirpath, root)
        rel_dir = "" if rel_dir == "." else rel_dir.replace(os.sep, "/") + "/"
        dirnames[:] = sorted(d for d in dirnames
                             if not d.startswith(".")
                             and not (rel_dir + d + "/").startswith(UNCHECKED)
                             and not os.path.exists(os.path.join(dirpath, d, "CMakeCache.txt")))
        for name in sorted(filenames):
            if not name.endswith(SOURCE_EXT):
                continue
            rel = rel_dir + name
            layer = layer_of(rel)
            if layer is None:
                breaches.append(f"{rel}: folder has no layer; add it to FOLDERS in "
                                f"tests/check_walls.py")
                continue
            allowed = LAYERS[layer] | {layer}
            with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
                for lineno, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    kind, target = m.groups()
                    if kind == "<":
                        top = target.split("/")[0]
                        if layer in QT_FREE and top.startswith("Q"):
                            breaches.append(f"{rel}:{lineno}: <{target}> is Qt, but layer "
                                            f"'{layer}' must stay free of Qt")
                        continue
                    if "/" not in target:  # a sibling: resolve beside the file
                        target = rel_dir + target
                    target_layer = layer_of(target)
                    if target_layer is None:
                        breaches.append(f"{rel}:{lineno}: \"{target}\" lies in no layer")
                    elif target_layer not in allowed:
                        breaches.append(
                            f"{rel}:{lineno}: \"{target}\" is layer '{target_layer}', but "
                            f"layer '{layer}' may only include "
                            f"{', '.join(sorted(allowed))}")
    return breaches


def self_test():
    """A small tree with one right and one wrong include: only the wrong one
    may be reported."""
    with tempfile.TemporaryDirectory() as root:
        files = {
            "ui/dlg.h": '#include "platform/qt/base.h"\n',
            "platform/qt/base.h": '#include "platform/ini.h"\n#include "ui/dlg.h"\n',
            "platform/ini.h": "#include <QString>\n",
            # The model sits above the engine and below every Qt layer.
            "model/m.h": '#include "engine/job.h"\n#include "ui/dlg.h"\n#include <QObject>\n',
            "engine/job.h": '#include "model/m.h"\n',
        }
        for rel, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w") as f:
                f.write(text)
        got = check(root)
    want_prefixes = ["platform/ini.h:1: <QString>", "platform/qt/base.h:2: \"ui/dlg.h\"",
                     "model/m.h:2: \"ui/dlg.h\"", "model/m.h:3: <QObject>",
                     "engine/job.h:1: \"model/m.h\""]
    ok = len(got) == len(want_prefixes) and all(
        any(g.startswith(w) for g in got) for w in want_prefixes)
    print("\n".join(got))
    print("self-test", "passed" if ok else "FAILED")
    return 0 if ok else 1


def main(argv):
    if len(argv) == 2 and argv[1] == "--self-test":
        return self_test()
    if len(argv) != 2:
        print(__doc__)
        return 2
    breaches = check(argv[1])
    for b in breaches:
        print(b)
    if breaches:
        print(f"{len(breaches)} include(s) cross a wall")
        return 1
    print("walls hold")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
