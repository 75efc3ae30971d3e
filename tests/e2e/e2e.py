#!/usr/bin/env python3
"""End-to-end cases: the real Sarnivox.exe under Wine, against the simulated control component,
driven through its windows by UiDriver.exe. One table; each row is one CTest test.

Usage: e2e.py --list | --case NAME --build BUILD_DIR --state FIXTURE_STATE"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import threading
import time

DIALOG_TEXT = ("NetMeeting is not running and is required to receive calls.\n\n"
               "Do you want to start NetMeeting?")
WS_EX_APPWINDOW = 0x00040000

ASK = b"start\r\n0\r\none\r\ntwo\r\n three \r\nfour\r\nfive\r\n"
AUTO = b"start\r\n1\r\none\r\ntwo\r\n three \r\nfour\r\nfive\r\n"
FIVE_ARGS = '3:"one" 3:"two" 7:" three " 4:"four" 4:"five"'
DIFFERS = "CheckConfiguration 0 0\n"

NOT_INSTALLED = "NetMeeting not installed, corrupt, or wrong version"
NO_VALUE = "A non-NULL parameter had no value"
CHECK_FAILED = "Unable to check NetMeeting configuration"
STOP_FAILED = "Unable to stop running NetMeeting"
UPDATE_FAILED = "Unable to update NetMeeting configuration"
DID_NOT_START = "NetMeeting did not start"


class Case:
    """One run. `calls` are the component's operations after creation, Release included;
    `boxes` the debug message texts in order ({file} stands for the command file path as given);
    `answer` how the dialog is answered (None: it must not appear)."""

    def __init__(self, name, why, file=ASK, script="", debug=True, calls=(), boxes=(),
                 answer=None, exit=0, cmdline=None, file_name="call.txt", path=None,
                 extra_actions=(), setup=None, timeout_ms=20000, checks=(),
                 box_icon="information", screenshot=False, env=None):
        self.name, self.why = name, why
        self.file, self.script, self.debug = file, script, debug
        self.calls = None if calls is None else list(calls)
        self.boxes, self.answer, self.exit = list(boxes), answer, exit
        self.cmdline, self.file_name, self.path = cmdline, file_name, path
        self.extra_actions = list(extra_actions)
        self.setup, self.timeout_ms, self.checks = setup, timeout_ms, list(checks)
        self.box_icon, self.screenshot, self.env = box_icon, screenshot, dict(env or {})


def with_quiet_twins(cases):
    """Every case that shows a message box runs again without /debug: same calls, same exit
    status, and no window at all."""
    result = []
    for case in cases:
        result.append(case)
        if case.boxes and case.debug and case.cmdline is None:
            twin = Case(case.name + "_quiet", case.why + " (without /debug: silent)",
                        file=case.file, script=case.script, debug=False, calls=case.calls,
                        answer=case.answer, exit=case.exit, file_name=case.file_name,
                        path=case.path, setup=case.setup,
                        timeout_ms=case.timeout_ms, checks=case.checks)
            result.append(twin)
    return result


def hold_file_for_writing(context):
    context["hold"] = context["file"]


def make_folder_command_file(context):
    os.makedirs(context["file"], exist_ok=True)


def copy_program_as(name):
    def setup(context):
        target = os.path.join(context["dir"], name)
        shutil.copy(context["exe"], target)
        context["exe"] = target
    return setup


def huge_file(size_mib):
    def setup(context):
        with open(context["file"], "wb") as f:
            f.write(b"start\r\n1\r\na\r\nb\r\nc\r\nd\r\n")
            f.truncate(f.tell() + size_mib * 1024 * 1024)
    return setup


def growing_file(context):
    """A Linux process appends to the file while the program reads it."""
    def append():
        with open(context["file"], "ab") as f:
            for _ in range(200):
                f.write(b"g" * 65536)
                f.flush()
                time.sleep(0.005)
    thread = threading.Thread(target=append, daemon=True)
    context["background"] = thread


def log_has(line):
    def check(log, report):
        assert line in log, "component log lacks %r" % line
    return check


def log_line_matches(pattern):
    def check(log, report):
        assert any(re.fullmatch(pattern, entry) for entry in log), \
            "no component log line matches %r" % pattern
    return check


def help_failure_box(log, report):
    boxes = [r for r in report if r["kind"] == "helpbox"]
    assert len(boxes) == 1, "expected one help reaction, got %r" % boxes
    box = boxes[0]
    assert box.get("process") == "target", box
    assert (box.get("caption"), box.get("text")) == ("Sarnivox", "Failed to launch help."), box
    assert box.get("owner_is_dialog") == "1", "the box is not owned by the dialog: %r" % box
    assert box.get("dialog_still_open") == "1", "the dialog closed"


def helpbox_asks_for_help_file(log, report):
    boxes = [r for r in report if r["kind"] == "helpbox"]
    assert len(boxes) == 1, "expected one help reaction, got %r" % boxes
    box = boxes[0]
    assert box.get("caption") == "ERROR", box
    assert "Sarnivox.HLP" in box.get("text", ""), box
    assert box.get("dialog_still_open") == "1", "F1 closed the dialog"


LONG_LINE = b"L" * (1024 * 1024)

CASES = with_quiet_twins([
    # The call sequences, one per situation.
    Case("stop_command", "any word but start is a stop", file=b"stop\r\n",
         calls=["Stop", "Release"]),
    Case("restart_is_a_stop", "only the word start starts", file=b"restart\n",
         calls=["Stop", "Release"]),
    Case("matches_automatic_start", "autoStart 1 never shows the dialog", file=AUTO,
         calls=["IsInstalled", "CheckConfiguration", "Start", "Release"],
         checks=[log_has("CheckConfiguration %s -> 0 flag=1" % FIVE_ARGS)]),
    Case("matches_user_says_yes", "Yes starts", answer="yes",
         calls=["IsInstalled", "CheckConfiguration", "Start", "Release"]),
    Case("matches_user_says_no", "No ends quietly", answer="no",
         calls=["IsInstalled", "CheckConfiguration", "Release"]),
    Case("differs_automatic_start", "a differing configuration is stopped and updated first",
         file=AUTO, script=DIFFERS,
         calls=["IsInstalled", "CheckConfiguration", "Stop", "UpdateConfiguration", "Start",
                "Release"],
         checks=[log_has("UpdateConfiguration %s -> 0" % FIVE_ARGS)]),
    Case("differs_user_says_yes", "the dialog comes after the update", script=DIFFERS,
         answer="yes",
         calls=["IsInstalled", "CheckConfiguration", "Stop", "UpdateConfiguration", "Start",
                "Release"]),
    Case("differs_user_says_no", "No after an update undoes nothing", script=DIFFERS,
         answer="no",
         calls=["IsInstalled", "CheckConfiguration", "Stop", "UpdateConfiguration", "Release"]),

    # A failure at each call.
    Case("create_fails", "creation failure is reported with its code",
         script="Create 0x80004005\n", calls=[],
         boxes=["CoCreateInstance failed system error 80004005"], exit=4),
    Case("is_installed_fails", "a failing IsInstalled", script="IsInstalled 0x80004005\n",
         calls=["IsInstalled", "Release"], boxes=[NOT_INSTALLED], exit=9),
    Case("is_installed_says_no", "IsInstalled succeeding with flag 0",
         script="IsInstalled 0 0\n", calls=["IsInstalled", "Release"], boxes=[NOT_INSTALLED],
         exit=9),
    Case("parameter_missing", "param5 empty is rejected after IsInstalled",
         file=b"start\r\n1\r\na\r\nb\r\nc\r\nd\r\n\r\n", calls=["IsInstalled", "Release"],
         boxes=[NO_VALUE], exit=10),
    Case("check_fails", "a failing CheckConfiguration", script="CheckConfiguration 1\n",
         calls=["IsInstalled", "CheckConfiguration", "Release"], boxes=[CHECK_FAILED],
         exit=11),
    Case("stop_fails", "a failing stop command", file=b"stop\r\n", script="Stop 0x80004005\n",
         calls=["Stop", "Release"], boxes=[STOP_FAILED], exit=12),
    Case("stop_before_update_fails", "Stop fails during reconfiguration",
         file=AUTO, script=DIFFERS + "Stop 0x80004005\n",
         calls=["IsInstalled", "CheckConfiguration", "Stop", "Release"], boxes=[STOP_FAILED],
         exit=12),
    Case("update_fails", "no Start after a failed update", file=AUTO,
         script=DIFFERS + "UpdateConfiguration 0x80004005\n",
         calls=["IsInstalled", "CheckConfiguration", "Stop", "UpdateConfiguration", "Release"],
         boxes=[UPDATE_FAILED], exit=13),
    Case("start_fails", "a failing Start", file=AUTO, script="Start 0x80004005\n",
         calls=["IsInstalled", "CheckConfiguration", "Start", "Release"],
         boxes=[DID_NOT_START], exit=14),
    Case("start_says_no", "Start succeeding with flag 0 did not start", answer="yes",
         script="Start 0 0\n", calls=["IsInstalled", "CheckConfiguration", "Start", "Release"],
         boxes=[DID_NOT_START], exit=14),

    # Opening and reading the command file.
    Case("open_missing_file", "a missing file in an existing folder is reason 2", file=None,
         calls=["Release"], boxes=["Open command file '{file}' failed reason 2"], exit=5),
    Case("open_missing_folder", "a missing folder is reason 3", file=None,
         path="{dir}\\no such folder\\call.txt",
         calls=["Release"], boxes=["Open command file '{file}' failed reason 3"], exit=5),
    Case("open_quoted_path", "a quoted path keeps its quotes: an invalid name, reason 3",
         path='"{dir}\\call.txt"', calls=["Release"],
         boxes=["Open command file '{file}' failed reason 3"], exit=5),
    Case("open_held_for_writing", "another process writing the file: sharing violation b",
         setup=hold_file_for_writing, calls=["Release"],
         boxes=["Open command file '{file}' failed reason b"], exit=5),
    Case("open_folder", "a folder as command file is access denied, reason 5",
         file=None, setup=make_folder_command_file, calls=["Release"],
         boxes=["Open command file '{file}' failed reason 5"], exit=5),
    Case("open_path_over_260", "a path beyond MAX_PATH is shown whole and fails cleanly",
         file=None, path="{dir}\\" + "p" * 300 + "\\call.txt", calls=["Release"],
         boxes=["Open command file '{file}' failed reason 3"], exit=5,
         # The driver tells icons apart by their pixels, which a box this wide defeats.
         box_icon=None),
    Case("record_cut_short", "Ctrl-Z before the sixth line ends the record",
         file=b"start\r\n1\r\na\r\nb\r\nc\r\nd\r\n\x1ae\r\n", calls=["Release"],
         boxes=["Read command file '{file}' failed end-of-file"], exit=7),
    Case("empty_file", "a file without a command ends silently, in debug mode too", file=b"",
         calls=["Release"], exit=8),

    # Decoding, end to end.
    Case("lf_line_ends", "LF alone ends lines too", file=b"start\n1\none\ntwo\n three \nfour\nfive",
         calls=["IsInstalled", "CheckConfiguration", "Start", "Release"],
         checks=[log_has("CheckConfiguration %s -> 0 flag=1" % FIVE_ARGS)]),
    Case("ctrl_z_ends_a_line", "Ctrl-Z inside the last line cuts it there",
         file=b"start\r\n1\r\none\r\ntwo\r\n three \r\nfour\r\nfi\x1ave\r\n",
         calls=["IsInstalled", "CheckConfiguration", "Start", "Release"],
         checks=[log_has('CheckConfiguration 3:"one" 3:"two" 7:" three " 4:"four" 2:"fi" '
                         '-> 0 flag=1')]),
    Case("ansi_characters", "code page 1252 bytes reach the component as their UTF-16 characters",
         file=b"start\r\n1\r\n\r\n\xe9t\xe9\r\n\x80\r\n\xff\r\nx\x81y\r\n",
         calls=["IsInstalled", "CheckConfiguration", "Start", "Release"],
         checks=[log_has('CheckConfiguration 0:"" 3:"\\u00e9t\\u00e9" 1:"\\u20ac" '
                         '1:"\\u00ff" 3:"x\\u0081y" -> 0 flag=1')]),
    Case("nul_inside_value", "a NUL byte is an ordinary character, counted in the length",
         file=b"start\r\n1\r\na\r\nb\x00c\r\nd\r\ne\r\nf\r\n",
         calls=["IsInstalled", "CheckConfiguration", "Start", "Release"],
         checks=[log_has('CheckConfiguration 1:"a" 3:"b\\u0000c" 1:"d" 1:"e" 1:"f" '
                         '-> 0 flag=1')]),
    Case("long_last_line", "a 1 MiB last line without line end arrives whole",
         file=b"start\r\n1\r\na\r\nb\r\nc\r\nd\r\n" + LONG_LINE,
         calls=["IsInstalled", "CheckConfiguration", "Start", "Release"],
         checks=[log_line_matches(r'CheckConfiguration 1:"a" 1:"b" 1:"c" 1:"d" '
                                  r'1048576:"L{1048576}" -> 0 flag=1')]),
    Case("byte_order_mark_is_a_stop", "a BOM makes the command word differ from start",
         file=b"\xef\xbb\xbfstart\r\n1\r\na\r\nb\r\nc\r\nd\r\ne\r\n", calls=["Stop", "Release"]),
    Case("line_too_long_for_32_bits", "narrow and wide copies cannot both fit: orderly end",
         file=None, setup=huge_file(900), debug=False, calls=None, exit=15,
         timeout_ms=240000),
    Case("file_grows_while_read", "a file appended to during the read ends cleanly",
         file=b"start\r\n1\r\na\r\nb\r\nc\r\nd\r\n" + b"x" * (8 * 1024 * 1024),
         setup=growing_file, calls=["IsInstalled", "CheckConfiguration", "Start", "Release"],
         timeout_ms=120000),

    # The command line, exactly as the launcher writes it.
    Case("debugging_switch", "a token that starts with /debug is the switch",
         file=b"stop\r\n", script="Stop 1\n", cmdline='"{exe}" /DEBUGGING {file}',
         calls=["Stop", "Release"], boxes=[STOP_FAILED], exit=12),
    Case("switch_after_path", "the switch counts only first: here it is part of the path",
         file=b"stop\r\n", cmdline='"{exe}" {file} /debug', calls=["Release"], exit=5),
    Case("other_program_name", "under another name twelve characters and that token go",
         file=b"stop\r\n", script="Stop 1\n", setup=copy_program_as("Caller.exe"),
         cmdline='"{exe}" /debug {file}', calls=["Stop", "Release"], boxes=[STOP_FAILED],
         exit=12),
    Case("name_twice", "the right-most name wins: the /debug before it is ignored",
         file=b"stop\r\n", script="Stop 1\n", cmdline='"{exe}" /debug x\\Sarnivox.exe {file}',
         calls=["Stop", "Release"], exit=12),
    # (An empty command line cannot be given under Wine, which then passes the program's path.)
    Case("no_command_file_path", "nothing after the switch: the empty path fails to open",
         cmdline='"{exe}" /debug', calls=["Release"],
         boxes=["Open command file '' failed reason 3"], exit=5),

    # The dialog's ways to answer, and help.
    Case("dialog_enter", "Enter presses the default button, Yes", answer="enter",
         calls=["IsInstalled", "CheckConfiguration", "Start", "Release"]),
    Case("dialog_escape", "Escape is No", answer="escape",
         calls=["IsInstalled", "CheckConfiguration", "Release"]),
    Case("dialog_close_box", "the close box is No", answer="close",
         calls=["IsInstalled", "CheckConfiguration", "Release"]),
    Case("dialog_alt_f4", "Alt+F4 is No", answer="altf4",
         calls=["IsInstalled", "CheckConfiguration", "Release"]),
    Case("dialog_help_cannot_start", "without a help system the failure box appears",
         extra_actions=["dialog:none", "f1", "helpbox"], answer="no",
         env={"WINEDLLOVERRIDES": "mscoree,mshtml=;winhlp32.exe=d"},
         calls=["IsInstalled", "CheckConfiguration", "Release"],
         checks=[help_failure_box], timeout_ms=60000),
    Case("dialog_screenshot", "the dialog as it looks, for the documentation",
         extra_actions=["dialog:none", "sleep:4000"], answer="no",
         calls=["IsInstalled", "CheckConfiguration", "Release"], screenshot=True),
    Case("dialog_help", "F1 asks the help system for Sarnivox.HLP and leaves the dialog open",
         extra_actions=["dialog:none", "f1", "helpbox"], answer="no",
         calls=["IsInstalled", "CheckConfiguration", "Release"],
         checks=[helpbox_asks_for_help_file], timeout_ms=60000),
])


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def parse_report(text):
    records = []
    for line in text.splitlines():
        kind, _, rest = line.partition(" ")
        record = {"kind": kind}
        for match in re.finditer(r'(\w+)=("(?:[^"\\]|\\.)*"|\S*)', rest):
            key, value = match.group(1), match.group(2)
            if value.startswith('"'):
                value = re.sub(r'\\x([0-9a-fA-F]{2})|\\(.)',
                               lambda m: chr(int(m.group(1), 16)) if m.group(1) else
                               {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(2), m.group(2)),
                               value[1:-1])
            record[key] = value
        records.append(record)
    return records


def check_dialog(record):
    assert record["caption"] == "NetMeeting", record
    assert record["text"] == DIALOG_TEXT, record
    assert (record["yes"], record["no"]) == ("Yes", "No"), record
    assert int(record["exstyle"], 16) & WS_EX_APPWINDOW, "no taskbar button: %r" % record
    assert record["owner"] == "0", "the dialog has an owner: %r" % record
    assert record["default"] == "1" and record["defstyle"] == "1", "Yes is not the default"
    assert record["focus"] == "1", "focus is not on Yes: %r" % record
    left, top, right, bottom = map(int, record["rect"].split(","))
    area = list(map(int, record["workarea"].split(",")))
    expected_left = (area[0] + area[2]) // 2 - (right - left) // 2
    expected_top = (area[1] + area[3]) // 2 - (bottom - top) // 2
    assert (left, top) == (expected_left, expected_top), \
        "not centred on the work area: %r" % record


def take_screenshot(report_file, env, target):
    """Once the driver has seen the dialog, photographs the screen and cuts the dialog out."""
    deadline = time.time() + 60
    while time.time() < deadline:
        if os.path.exists(report_file):
            dialogs = [r for r in parse_report(open(report_file, errors="replace").read())
                       if r["kind"] == "dialog"]
            if dialogs:
                break
        time.sleep(0.1)
    else:
        raise AssertionError("the dialog never appeared for the screenshot")
    time.sleep(0.5)
    left, top, right, bottom = map(int, dialogs[0]["rect"].split(","))
    margin = 12
    crop = "%dx%d+%d+%d" % (right - left + 2 * margin, bottom - top + 2 * margin,
                            max(left - margin, 0), max(top - margin, 0))
    subprocess.run(["/usr/bin/import", "-window", "root", "-crop", crop, "+repage", target],
                   env=env, check=True, stdin=subprocess.DEVNULL)
    assert os.path.getsize(target) > 1000, "the screenshot is empty"


def snapshot(folder):
    listing = {}
    for root, dirs, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            stat = os.stat(path)
            listing[path] = (stat.st_size, stat.st_mtime_ns)
    return listing


def run_case(case, build, state):
    env = dict(os.environ)
    with open(state) as f:
        for line in f:
            match = re.match(r"export (\w+)=(.*)", line.strip())
            if match:
                env[match.group(1)] = match.group(2).strip("'")
    env.update(WINEARCH="win32", WINEDEBUG="-all", LC_ALL="C.UTF-8",
               WINEDLLOVERRIDES="mscoree,mshtml=")

    work = os.path.join(build, "e2e", case.name)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    context = {"dir": work, "file": os.path.join(work, case.file_name),
               "exe": os.path.join(build, "Sarnivox.exe")}
    if case.file is not None:
        with open(context["file"], "wb") as f:
            f.write(case.file)
    if case.path is not None:
        context["file"] = case.path.format(dir=windows_path(work))
    if case.setup:
        case.setup(context)

    script = os.path.join(work, "component-script.txt")
    log = os.path.join(work, "component.log")
    with open(script, "w") as f:
        f.write(case.script)
    env.update(case.env)
    env["SARNIVOX_SIM_SCRIPT"] = windows_path(script)
    env["SARNIVOX_SIM_LOG"] = windows_path(log)

    file_arg = context["file"] if context["file"].startswith(("Z:", '"')) else \
        windows_path(context["file"])
    exe = windows_path(context["exe"])
    if case.cmdline is not None:
        cmdline = case.cmdline.format(exe=exe, file=file_arg)
    else:
        cmdline = '"%s" %s%s' % (exe, "/debug " if case.debug else "", file_arg)
    cmdline_file = os.path.join(work, "cmdline.txt")
    with open(cmdline_file, "wb") as f:
        f.write(cmdline.encode("cp1252"))

    actions = list(case.extra_actions)
    if case.answer:
        actions.append("dialog:" + case.answer)
    actions += ["msgbox"] * len(case.boxes)
    report_file = os.path.join(work, "report.txt")
    driver = [
        "wine", os.path.join(build, "tools", "UiDriver.exe"), "--report", windows_path(report_file),
        "--timeout-ms", str(case.timeout_ms), "--exe", exe, "--cmdline-file",
        windows_path(cmdline_file),
    ]
    if "hold" in context:
        driver += ["--hold", windows_path(context["hold"])]
    driver += actions

    before = snapshot(work)
    background = context.get("background")
    with open(os.path.join(work, "driver.out"), "wb") as out:
        process = subprocess.Popen(driver, env=env, stdout=out, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL)
        if background:
            background.start()
        if case.screenshot:
            take_screenshot(report_file, env, os.path.join(build, "e2e", "start-prompt.png"))
        driver_status = process.wait(timeout=case.timeout_ms / 1000 * 3 + 60)
    if background:
        background.join()

    report = parse_report(open(report_file, encoding="utf-8", errors="replace").read())
    component_log = open(log, encoding="utf-8").read().splitlines() if os.path.exists(log) else []
    problems = []

    def expect(what, actual, expected):
        if actual != expected:
            problems.append("%s: expected %r, got %r" % (what, expected, actual))

    expect("driver status", driver_status, 0)
    errors = [r for r in report if r["kind"] in ("error", "unexpected")]
    expect("driver errors", errors, [])
    exits = [r for r in report if r["kind"] == "exit"]
    expect("exit status", exits[-1]["code"] if exits else None, str(case.exit))

    operations = [entry.split(" ")[0] for entry in component_log
                  if not entry.startswith(("Create", "script-error"))]
    if case.calls is not None:
        expect("component calls", operations, case.calls)
    else:
        # Memory ran out: whatever was reached, nothing after a failed allocation, one Release.
        expect("no configuration call", [op for op in operations
                                         if op in ("CheckConfiguration", "Start")], [])
        expect("ends with one Release", operations[-1:] + [operations.count("Release")],
               ["Release", 1])
    if case.calls:
        expect("last component line", component_log[-1:], ["Release refs=0"])

    shown = [r["text"] for r in report if r["kind"] == "msgbox"]
    expect("message boxes", shown, [box.format(file=file_arg) for box in case.boxes])
    for record in report:
        if record["kind"] == "msgbox":
            expect("box caption", record["caption"], "Sarnivox")
            if case.box_icon:
                expect("box icon", record.get("icon"), case.box_icon)
    # The first sighting shows the dialog as created; later ones may follow other windows.
    dialogs = [r for r in report if r["kind"] == "dialog"]
    expect("dialog shown", bool(dialogs), bool(case.answer))
    if dialogs:
        try:
            check_dialog(dialogs[0])
        except AssertionError as error:
            problems.append(str(error))
    for check in case.checks:
        try:
            check(component_log, report)
        except AssertionError as error:
            problems.append(str(error))

    # The program writes nothing: only the component's log and the driver's files are new.
    after = snapshot(work)
    ours = {log, report_file, os.path.join(work, "driver.out")}
    changed = sorted(p for p in after if p not in ours and before.get(p) != after[p]
                     and not (background and p == context["file"]))
    expect("files written", changed, [])

    if problems:
        print("case %s (%s) failed:" % (case.name, case.why))
        for problem in problems:
            print("  " + problem)
        print("report:\n  " + "\n  ".join(open(report_file, errors="replace").read().splitlines()))
        print("component log:\n  " + "\n  ".join(e[:300] for e in component_log))
        return 1
    print("case %s: ok (%s)" % (case.name, case.why))
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--case")
    parser.add_argument("--build")
    parser.add_argument("--state")
    options = parser.parse_args()
    if options.list:
        print(";".join(case.name for case in CASES))
        return 0
    case = next((c for c in CASES if c.name == options.case), None)
    if case is None:
        print("no case %r" % options.case)
        return 2
    return run_case(case, options.build, options.state)


if __name__ == "__main__":
    sys.exit(main())
