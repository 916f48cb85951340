#!/usr/bin/python3
"""Reads the running program's accessibility tree over AT-SPI and checks what a screen reader
finds: the tree, the text box and each named control with its role. With --press NAME, presses
that button through its accessible action.

    accessibility.py <pid> [--press NAME]

Exit 0 when everything was found (and pressed), 1 otherwise with the reason."""
import sys
import time

import pyatspi

pid = int(sys.argv[1])
press = sys.argv[3] if len(sys.argv) > 3 and sys.argv[2] == "--press" else None


def application():
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.1)
    sys.exit("FAIL: the program is not on the accessibility bus")


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


app = application()
found = {}
for node in walk(app):
    try:
        found.setdefault((node.getRoleName(), node.name), node)
    except Exception:
        pass

wanted = [
    ("tree", "密钥通讯薄"),
    ("text", "输入框"),
    ("push button", "最小化"),
    ("push button", "最大化"),
    ("push button", "关闭"),
    ("check box", "单步运算"),
    ("progress bar", "进度"),
    ("split pane", "分隔条"),
]
missing = [w for w in wanted if w not in found]
# The tree's role may be told as a tree table.
missing = [w for w in missing if not (w[0] == "tree" and ("tree table", w[1]) in found)]
if press:
    wanted.append(("push button", press))
    if ("push button", press) not in found:
        missing.append(("push button", press))
if missing:
    print("found:", sorted(k for k in found if k[1]), file=sys.stderr)
    sys.exit("FAIL: not found: %s" % missing)
print("found: " + ", ".join("%s %s" % w for w in wanted))

if press:
    button = found[("push button", press)]
    if not button.getState().contains(pyatspi.STATE_ENABLED):
        sys.exit("FAIL: %s is disabled" % press)
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in names and "press" not in names:
        sys.exit("FAIL: %s offers no press action: %s" % (press, names))
    action.doAction(names.index("Press") if "Press" in names else names.index("press"))
    print("pressed " + press)
