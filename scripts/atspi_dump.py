#!/usr/bin/env python3
"""Lists every accessible object of the running editor: role, name, text
(or value), states and position on the screen, as a screen reader sees them.
Exits with 1 when the window is not found or a control has no name."""
import sys
import time

import pyatspi

TITLE = "Kep Template Editor"


def find_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        for window in app:
            if window is not None and window.name == TITLE:
                return window
    return None


def text_of(node):
    try:
        text = node.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        pass
    try:
        return str(node.queryValue().currentValue)
    except NotImplementedError:
        return None


def walk(node, depth, problems):
    role = node.getRoleName()
    states = [pyatspi.stateToString(s) for s in node.getState().getStates()
              if s in (pyatspi.STATE_ENABLED, pyatspi.STATE_SHOWING, pyatspi.STATE_FOCUSABLE,
                       pyatspi.STATE_CHECKED, pyatspi.STATE_SELECTED)]
    try:
        ext = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        where = f"{ext.x},{ext.y} {ext.width}x{ext.height}"
    except NotImplementedError:
        where = "-"
    text = text_of(node)
    print(f"{'  ' * depth}{role} '{node.name}'"
          + (f" text={text!r}" if text else "") + f" [{' '.join(states)}] {where}")
    interesting = role in ("push button", "check box", "label", "tree", "tree table", "text", "panel")
    if interesting and not node.name and role not in ("panel", "label", "table cell") and depth > 0:
        problems.append(f"{role} at {where} has no name")
    for child in node:
        if child is not None and depth < 6:
            walk(child, depth + 1, problems)


def main():
    window = None
    for _ in range(50):
        window = find_app()
        if window is not None:
            break
        time.sleep(0.2)
    if window is None:
        print("the editor's window was not found on the accessibility bus", file=sys.stderr)
        return 1
    problems = []
    walk(window, 0, problems)
    for problem in problems:
        print("PROBLEM:", problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
