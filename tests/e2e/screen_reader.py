#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The window as a screen reader meets it over AT-SPI, with PROGRAM started by this script and
# NOT_MP3 entered in its file dialog. Every Press returns within a second and every wait is
# bounded; a failure's screen goes to SHOT. Usage: screen_reader.py PROGRAM NOT_MP3 SHOT LOG
import os
import signal
import subprocess
import sys
import time

import pyatspi

program, not_mp3, shot, program_log = sys.argv[1:5]


class OutOfTime(BaseException):  # not an Exception: no wait below may swallow it
    pass


def out_of_time(*_):
    raise OutOfTime("the check did not end within 30 s")


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def wait_for(what, find, seconds=10):
    """Calls find every 0.1 s until it gives something, at most SECONDS long."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = find()
        except Exception:  # objects vanish while windows open and close
            found = None
        if found is not None and found is not False:
            return found
        time.sleep(0.1)
    raise AssertionError(f"waited {seconds} s for {what}")


def find(root, role, name):
    return wait_for(f'{role} "{name}"', lambda: pyatspi.findDescendant(
        root, lambda a: a.getRole() == role and a.name == name))


def press(accessible):
    """Does the Press action as a screen reader does; it must come back within a second."""
    action = accessible.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    expect("Press" in names, f'"{accessible.name}" offers no Press action, only {names}')
    started = time.monotonic()
    try:
        action.doAction(names.index("Press"))
    except Exception as error:  # such as no reply within the bus's time
        raise AssertionError(f'Press on "{accessible.name}" failed: {error}') from error
    took = time.monotonic() - started
    print(f'Press on "{accessible.name}" returned after {took:.3f} s')
    expect(took < 1.0, f'Press on "{accessible.name}" took {took:.1f} s')


def message_box(app, text):
    """The alert or dialog with a label reading TEXT, and all that its labels read."""
    for window in app:
        if window.getRole() in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG):
            labels = pyatspi.findAllDescendants(window, lambda a: a.getRole() == pyatspi.ROLE_LABEL)
            texts = [label.name for label in labels] + [
                label.queryText().getText(0, -1) for label in labels
                if "Text" in label.get_interfaces()]
            if text in texts:
                return window, texts
    return None


def confirm(app, text):
    window, texts = wait_for(f'the message box "{text}"', lambda: message_box(app, text))
    press(find(window, pyatspi.ROLE_PUSH_BUTTON, "OK"))
    wait_for(f'"{text}" to close', lambda: message_box(app, text) is None)
    return texts


def check(app):
    frame = wait_for("the main window", lambda: app[0])
    print(f"main window: {frame.getRoleName()} {frame.name!r}")
    expect(frame.name == "Kestrelund" and
           frame.getRole() in (pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW),
           f"the main window is announced as {frame.getRoleName()} {frame.name!r}")
    buttons = {name: find(frame, pyatspi.ROLE_PUSH_BUTTON, name)
               for name in ("Add MP3 File(s)", "Reduce", "Add All MP3 File(s) In Folder")}

    press(buttons["Reduce"])
    confirm(app, "No files added.")

    press(buttons["Add MP3 File(s)"])
    dialog = find(app, pyatspi.ROLE_DIALOG,
                  "Add File(s) - Hold Ctrl or Shift to select multiple files")
    find(dialog, pyatspi.ROLE_TEXT, "File name:").queryEditableText().setTextContents(not_mp3)
    open_button = find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Open")
    wait_for('"Open" to be enabled', lambda: open_button.getState().contains(pyatspi.STATE_ENABLED))
    press(open_button)
    texts = confirm(app, "Not a valid MP3 file!")
    print(f"the warning reads: {texts}")
    expect(not_mp3 in texts, f"the warning does not read the path {not_mp3!r}")
    expect(not any("\u200b" in t or "\u00a0" in t for t in texts), "it reads wrapping marks")

    description = find(frame, pyatspi.ROLE_TREE, "MP3 File(s)").description
    print(f"the list's description: {description}")
    for key in ("Delete", "Ctrl+Up", "Ctrl+Down"):
        expect(key in description, f"the list's description does not name {key}")


def main():
    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(30)
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    with open(program_log, "w") as log:
        process = subprocess.Popen([program], env=env, stdout=log, stderr=subprocess.STDOUT)
    try:
        check(wait_for("the program on the accessibility bus", lambda: next(
            a for a in pyatspi.Registry.getDesktop(0)
            if a is not None and a.get_process_id() == process.pid), seconds=20))
        return 0
    except (Exception, OutOfTime) as error:
        print(f"FAIL: {error}", file=sys.stderr)
        subprocess.run(["import", "-window", "root", shot], check=False, timeout=10)
        return 1
    finally:
        process.kill()
        process.wait()


if __name__ == "__main__":
    sys.exit(main())
