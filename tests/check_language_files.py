#!/usr/bin/env python3
"""Keeps the shipped language files whole and in step with the code.

Usage: check_language_files.py SOURCE_DIR   check the tree, exit 1 on any fault
       check_language_files.py --self-test  prove that each kind of fault is caught

What it holds the files in res/data/Language/ to:
- [CString]: the keys are exactly the messages the code defines (ui/messages.h
  and any other `Message IDS_X{"IDS_X", "..."}`) or names as a literal, and
  every defined message is used somewhere besides its definition. Each
  translation keeps the built-in text's %1..%9, so no number is lost.
  Chinese_Simplified holds the built-in texts themselves.
- [CDialog] and [CToolTip] keys IDD_<dialog>_<id> name a translated dialog
  (102, 142) and a control of its template (res/dialogs.cpp); [CMenu] keys
  IDM_128_<n> name a menu bar position, a command of res/menus.cpp, or a
  language item (2000 + a line of ZantrelLang.lst). Chinese_Simplified's
  values are the templates' texts.
- English and Chinese_Traditional carry every key of Chinese_Simplified;
  English holds no CJK character; Chinese_Traditional converts to Big5
  (cp950) and back unchanged, which no Simplified-only character survives.
"""
import os
import re
import sys

CODE_DIRS = ("app", "cli", "engine", "i18n", "menubar", "model", "platform", "preview", "res",
             "settings", "skin", "tool", "ui")
TRANSLATED_DIALOGS = (102, 142)
MENU_NUMBER = 128
LANGUAGE_COMMAND_BASE = 2000
REFERENCE = "Chinese_Simplified"
OTHERS = ("English", "Chinese_Traditional")

C_STRING = r'"(?:[^"\\]|\\.)*"'
DEFINITION = re.compile(r'Message\s+(IDS_\w+)\s*\{\s*"(IDS_\w+)"\s*,\s*((?:' + C_STRING + r'\s*)+)\}')
LITERAL_KEY = re.compile(r'"(IDS_[A-Z0-9_]+)"')
PLACEHOLDER = re.compile(r'%([1-9])')
CJK = re.compile('[\u2e80-\u9fff\uf900-\ufaff\uff00-\uffef\u3000-\u303f]')


def c_literals(text):
    """The value of adjacent C string literals."""
    out = []
    for lit in re.findall(C_STRING, text):
        body = lit[1:-1]
        out.append(re.sub(r'\\(.)', lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)),
                          body))
    return "".join(out)


def read_ini(text):
    """Sections of an INI file as the program reads them: key=value lines,
    blanks around the value dropped, one pair of enclosing quotes removed."""
    sections, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], {})
            continue
        if "=" in line and current is not None:
            key, value = line.split("=", 1)
            value = value.strip()
            if len(value) >= 2 and value[0] == value[-1] == '"':
                value = value[1:-1]
            current[key.strip()] = value
    return sections


def unescape(value):
    return re.sub(r'\\([n\\])', lambda m: "\n" if m.group(1) == "n" else "\\", value)


def scan_code(root):
    """(defined {key: built-in}, used keys, problems) from the program's sources."""
    defined, uses, literals, problems = {}, {}, set(), []
    sources = []
    for top in CODE_DIRS:
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in files:
                if name.endswith((".cpp", ".h")):
                    path = os.path.join(folder, name)
                    with open(path, encoding="utf-8") as f:
                        sources.append((os.path.relpath(path, root), f.read()))
    for path, text in sources:
        stripped = text
        for m in DEFINITION.finditer(text):
            name, key, body = m.groups()
            if name != key:
                problems.append(f"{path}: message {name} has the key {key}")
            defined[key] = c_literals(body)
            stripped = stripped.replace(m.group(0), "")
        for key in LITERAL_KEY.findall(stripped):
            literals.add(key)
        for word in re.findall(r'\bIDS_[A-Z0-9_]+\b', stripped):
            uses[word] = uses.get(word, 0) + 1
    for key in sorted(defined):
        if uses.get(key, 0) == 0:
            problems.append(f"message {key} is defined but used nowhere")
    return defined, set(defined) | literals, problems


def scan_templates(root):
    """({dialog number: {control id: [texts]}}, menu positions, menu commands)."""
    with open(os.path.join(root, "res", "dialogs.h"), encoding="utf-8") as f:
        numbers = dict((n, int(v)) for n, v in re.findall(r'(IDD_\w+)\s*=\s*(\d+)', f.read()))
    with open(os.path.join(root, "res", "dialogs.cpp"), encoding="utf-8") as f:
        text = f.read()
    dialogs = {}
    blocks = re.split(r'\b(IDD_\w+),\s*"', text)
    for i in range(1, len(blocks) - 1, 2):
        controls = {}
        for cid, cls, label in re.findall(r'\{\s*(-?\d+)\s*,\s*C::(\w+)\s*,\s*(' + C_STRING + r'|\w+)',
                                          blocks[i + 1]):
            texts = controls.setdefault(int(cid), [])
            if label.startswith('"'):
                texts.append(c_literals(label))
        dialogs[numbers[blocks[i]]] = controls
    with open(os.path.join(root, "res", "menus.cpp"), encoding="utf-8") as f:
        menus = f.read()
    popups = [c_literals(t) for t in re.findall(r'\{\s*(' + C_STRING + r')\s*,\s*\{\{', menus)]
    commands = {int(i): c_literals(t) for i, t in re.findall(r'\{(\d+),\s*(' + C_STRING + r')\}', menus)
                if int(i) != 0}
    return dialogs, popups, commands


def check(files, defined, used, dialogs, popups, commands, language_count):
    """Every fault found in the parsed language files, as sentences."""
    problems = []
    if REFERENCE not in files:
        return [f"{REFERENCE}.ini is missing"]
    reference = files[REFERENCE]
    menu_keys = {f"IDM_{MENU_NUMBER}_{k}" for k in list(range(len(popups))) + list(commands)}
    menu_keys |= {f"IDM_{MENU_NUMBER}_{LANGUAGE_COMMAND_BASE + k}" for k in range(language_count)}
    dialog_keys = {f"IDD_{n}_{cid}" for n in TRANSLATED_DIALOGS for cid in dialogs.get(n, {})}

    for lang, sections in sorted(files.items()):
        strings = sections.get("CString", {})
        for key in sorted(used - set(strings)):
            problems.append(f"{lang}: [CString] lacks {key}, which the code uses")
        for key in sorted(set(strings) - used):
            problems.append(f"{lang}: [CString] {key} is used nowhere in the code")
        for key, value in strings.items():
            if key in defined:
                want = set(PLACEHOLDER.findall(defined[key]))
                have = set(PLACEHOLDER.findall(value))
                if want != have:
                    problems.append(f"{lang}: {key} has %{sorted(have)} where the built-in text has "
                                    f"%{sorted(want)}")
        for section in ("CDialog", "CToolTip"):
            for key in sorted(set(sections.get(section, {})) - dialog_keys):
                problems.append(f"{lang}: [{section}] {key} names no control of a translated dialog")
        for key in sorted(set(sections.get("CMenu", {})) - menu_keys):
            problems.append(f"{lang}: [CMenu] {key} names no menu position, command or language")
        if lang in OTHERS:
            for section, values in reference.items():
                for key in sorted(set(values) - set(sections.get(section, {}))):
                    problems.append(f"{lang}: [{section}] lacks {key}, which {REFERENCE} has")

    # The reference language is the built-in one, byte for byte.
    for key, value in reference.get("CString", {}).items():
        if key in defined and unescape(value) != defined[key]:
            problems.append(f"{REFERENCE}: {key} differs from the built-in text")
    for key, value in reference.get("CDialog", {}).items():
        m = re.fullmatch(r'IDD_(\d+)_(-?\d+)', key)
        if m and key in dialog_keys and value not in dialogs[int(m.group(1))][int(m.group(2))]:
            problems.append(f"{REFERENCE}: [CDialog] {key} differs from the template's text")
    built_in_menu = {f"IDM_{MENU_NUMBER}_{i}": t for i, t in enumerate(popups)}
    built_in_menu.update({f"IDM_{MENU_NUMBER}_{i}": t for i, t in commands.items()})
    for key, value in reference.get("CMenu", {}).items():
        if key in built_in_menu and value != built_in_menu[key]:
            problems.append(f"{REFERENCE}: [CMenu] {key} differs from the menu's text")

    if "English" in files:
        for section, values in files["English"].items():
            for key, value in values.items():
                if CJK.search(value):
                    problems.append(f"English: [{section}] {key} holds a CJK character")
    if "Chinese_Traditional" in files:
        for section, values in files["Chinese_Traditional"].items():
            for key, value in values.items():
                try:
                    back = value.encode("cp950").decode("cp950")
                except UnicodeEncodeError as e:
                    problems.append(f"Chinese_Traditional: [{section}] {key}: "
                                    f"{value[e.start:e.end]!r} is not in Big5")
                    continue
                if back != value:
                    problems.append(f"Chinese_Traditional: [{section}] {key} changes through Big5")
    return problems


def load_files(folder):
    files = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith(".ini"):
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                files[name[:-4]] = read_ini(f.read())
    return files


def run(root):
    defined, used, problems = scan_code(root)
    dialogs, popups, commands = scan_templates(root)
    with open(os.path.join(root, "res", "data", "ZantrelLang.lst"), encoding="utf-8") as f:
        language_count = len(f.read().splitlines())
    files = load_files(os.path.join(root, "res", "data", "Language"))
    problems += check(files, defined, used, dialogs, popups, commands, language_count)
    for p in problems:
        print(p)
    print(f"{len(files)} language files, {len(defined)} messages: "
          f"{'fine' if not problems else f'{len(problems)} faults'}")
    return 1 if problems else 0


def self_test():
    defined = {"IDS_A": "第%1段：%2", "IDS_B": "完成"}
    dialogs = {102: {1016: ["开始"], -1: ["选择分割模式"]}, 142: {1033: ["继续分割视频"]}}
    popups, commands = ["文件(&F)"], {32778: "添加文件"}

    def files():
        return {
            "Chinese_Simplified": {"CString": {"IDS_A": "第%1段：%2", "IDS_B": "完成"},
                                   "CDialog": {"IDD_102_1016": "开始"},
                                   "CMenu": {"IDM_128_0": "文件(&F)"}},
            "English": {"CString": {"IDS_A": "Piece %1: %2", "IDS_B": "Done"},
                        "CDialog": {"IDD_102_1016": "Start"}, "CMenu": {"IDM_128_0": "&File"}},
            "Chinese_Traditional": {"CString": {"IDS_A": "第%1段：%2", "IDS_B": "完成"},
                                    "CDialog": {"IDD_102_1016": "開始"},
                                    "CMenu": {"IDM_128_0": "檔案(&F)"}},
        }

    def faults(change):
        f = files()
        change(f)
        return check(f, defined, set(defined), dialogs, popups, commands, 3)

    assert faults(lambda f: None) == [], faults(lambda f: None)
    cases = {
        "lacks IDS_B": lambda f: f["English"]["CString"].pop("IDS_B"),
        "used nowhere": lambda f: f["English"]["CString"].update(IDS_OLD="x"),
        "has %": lambda f: f["English"]["CString"].update(IDS_A="Piece %1"),
        "names no control": lambda f: f["English"]["CDialog"].update(IDD_102_9999="x"),
        "names no menu": lambda f: f["English"]["CMenu"].update(IDM_128_2003="x"),
        "lacks IDD_102_1016": lambda f: f["Chinese_Traditional"]["CDialog"].pop("IDD_102_1016"),
        "CJK": lambda f: f["English"]["CDialog"].update(IDD_102_1016="开始"),
        "not in Big5": lambda f: f["Chinese_Traditional"]["CString"].update(IDS_B="这个"),
        "differs from the built-in": lambda f: f["Chinese_Simplified"]["CString"].update(IDS_B="完"),
        "template's text": lambda f: f["Chinese_Simplified"]["CDialog"].update(IDD_102_1016="始"),
    }
    for expected, change in cases.items():
        found = faults(change)
        assert any(expected in p for p in found), (expected, found)
    # A language item key counts while the list has that line.
    assert faults(lambda f: f["English"]["CMenu"].update(IDM_128_2002="x")) == []
    print("self-test: each kind of fault is caught")
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 2 and sys.argv[1] == "--self-test":
        sys.exit(self_test())
    if len(sys.argv) != 2:
        print(__doc__)
        sys.exit(2)
    sys.exit(run(sys.argv[1]))
