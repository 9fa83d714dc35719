#!/usr/bin/env python3
"""End-to-end tests: runs the built updater, renamed, on the scenarios in scenarios/*.json.

Each scenario gets a fresh temporary directory holding the updater as patch.exe (Windows) or
patch (POSIX), its script patch.ini and its other files. The boxes the updater shows are read
from standard error (POSIX) or through box_driver.exe under Wine on a virtual X display
(Windows), answered as the scenario says, and compared with the expected boxes; then the exit
code and the directory's contents are checked. The scenario format is in README.md.
"""
import argparse
import difflib
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE_DIR = HERE.parent.parent
BUILTIN_CAPTION = "ヴォルネクス アップデータ"

# What each kind of box looks like: its buttons, its default button and its icon.
STYLES = {
    "error": (["ok"], "ok", "error"),
    "information": (["ok"], "ok", "information"),
    "warning": (["yes", "no"], "no", "warning"),
    "question": (["yes", "no"], "yes", "question"),
    "question_default_no": (["yes", "no"], "no", "question"),
    # The progress window (PROGRESS=1, Windows only): its lines, its Cancel; it appears only
    # after the command has run for a second.
    "progress": (["cancel"], "cancel", "none"),
}
PROGRESS_APPEARS_AFTER_MS = 1000

SCENARIO_KEYS = {"name", "about", "command_line", "caption", "updater_dir", "working_dir", "script", "crlf",
                 "script_encoding", "platforms", "locales", "files", "dirs", "programs", "planted_dlls",
                 "file_ages", "read_only", "boxes", "after", "links", "exit_code", "log", "runs", "executable",
                 "windows_files"}
LOG_KEYS = {"file", "lines"}
LINK_KEYS = {"target", "working_dir", "arguments", "show"}
BOX_KEYS = {"caption", "text", "message", "args", "style", "answer", "failed", "reason", "pattern"}

# The lines a failure adds below its message: the file that failed (where the message does not
# name it), and the reason. A reason given as true may be any text: the system's own words
# differ between systems and languages.
FAILED_LABEL = "失敗したファイル："
REASON_LABEL = "理由："
ANY_REASON = REASON_LABEL + "*"

RUN_SECONDS = 30  # a run that takes longer has lost a box or hangs

# How a script's text becomes its file's bytes.
SCRIPT_ENCODINGS = {
    "utf-8": lambda text: text.encode("utf-8"),
    "utf-8-bom": lambda text: b"\xef\xbb\xbf" + text.encode("utf-8"),
    "utf-16-le": lambda text: b"\xff\xfe" + text.encode("utf-16-le"),
    "utf-16-be": lambda text: b"\xfe\xff" + text.encode("utf-16-be"),
    "cp932": lambda text: text.encode("cp932"),
    "cp1252": lambda text: text.encode("cp1252"),
}

# The Unix locale each Windows run is started in: Wine takes its 8-bit code page from it
# (C.UTF-8: 1252, as a Western Windows; ja_JP.UTF-8: 932), and reads file names as UTF-8 only
# under a UTF-8 locale.
LOCALES = {"default": "C.UTF-8", "ja": "ja_JP.UTF-8"}


class ScenarioError(Exception):
    """A scenario file that cannot be run as written."""


# ------------------------------------------------------------------ message catalogue

def load_messages(path):
    """Reads MESSAGE(id, "text") entries, C escapes undone, from resources/messages.def."""
    escapes = {"n": "\n", "t": "\t", '"': '"', "\\": "\\"}
    messages = {}
    for match in re.finditer(r'^MESSAGE\((\d+),\s*"((?:[^"\\]|\\.)*)"\)', path.read_text("utf-8"), re.M):
        text = re.sub(r"\\(.)", lambda m: escapes.get(m.group(1), m.group(0)), match.group(2))
        messages[int(match.group(1))] = text
    return messages


def format_message(pattern, args):
    """Fills %s and %08X in order, as the updater does."""
    out, rest = [], list(args)
    i = 0
    while i < len(pattern):
        if pattern.startswith("%s", i):
            out.append(str(rest.pop(0)) if rest else "")
            i += 2
        elif pattern.startswith("%08X", i):
            out.append("%08X" % (int(rest.pop(0)) if rest else 0))
            i += 4
        elif pattern.startswith("%%", i):
            out.append("%")
            i += 2
        else:
            out.append(pattern[i])
            i += 1
    if rest:
        raise ScenarioError(f"too many arguments for message {pattern!r}")
    return "".join(out)


# ------------------------------------------------------------------ scenarios

def substitute(value, places):
    """Replaces the known placeholders only: script values use braces of their own."""
    if isinstance(value, str):
        for name, replacement in places.items():
            value = value.replace("{" + name + "}", replacement)
        return value
    if isinstance(value, list):
        return [substitute(v, places) for v in value]
    if isinstance(value, dict):
        return {k: substitute(v, places) for k, v in value.items()}
    return value


PLATFORMS = ("posix", "windows", "windows32", "windows64")


def load_scenarios(folder, pattern, platform, variant):
    """(topic, scenario, locale) for every scenario of this platform (or of this one of its
    builds: "windows32", "windows64"), once per locale it names on Windows (Linux has no code
    page to vary)."""
    scenarios = []
    for path in sorted(folder.glob("*.json")):
        try:
            data = json.loads(path.read_text("utf-8"))
        except json.JSONDecodeError as e:
            raise ScenarioError(f"{path.name}: {e}")
        topic = path.stem
        seen = set()
        for scenario in data.get("scenarios", []):
            check_scenario(topic, scenario)
            full_name = f"{topic}.{scenario['name']}"
            if full_name in seen:
                raise ScenarioError(f"{full_name}: named twice")
            seen.add(full_name)
            platforms = scenario.get("platforms", ["posix", "windows"])
            if platform not in platforms and variant not in platforms:
                continue
            locales = scenario.get("locales", ["default"]) if platform == "windows" else ["default"]
            for locale in locales:
                named = full_name if locale == "default" else f"{full_name}@{locale}"
                if pattern is None or re.search(pattern, named):
                    scenarios.append((topic, scenario, locale))
    return scenarios


def check_scenario(topic, scenario):
    """Rejects unknown keys: a misspelt key would silently drop a check."""
    name = scenario.get("name")
    if not name or not re.fullmatch(r"[A-Za-z0-9_]+", name):
        raise ScenarioError(f"{topic}: scenario without a valid name: {name!r}")
    where = f"{topic}.{name}"
    unknown = set(scenario) - SCENARIO_KEYS
    if unknown:
        raise ScenarioError(f"{where}: unknown keys {sorted(unknown)}")
    for path, link in scenario.get("links", {}).items():
        if not isinstance(link, dict) or set(link) - LINK_KEYS:
            raise ScenarioError(f"{where}: the shortcut {path} is checked by {sorted(LINK_KEYS)} only")
    for path, days in scenario.get("file_ages", {}).items():
        if not isinstance(days, int) or path not in scenario.get("files", {}):
            raise ScenarioError(f"{where}: file_ages takes whole days for files the scenario writes")
    for key in ("updater_dir", "working_dir"):
        folder = Path(scenario.get(key, "."))
        if folder.is_absolute() or ".." in folder.parts:
            raise ScenarioError(f"{where}: {key} must lie inside the scenario's directory")
    windows_only = not set(scenario.get("platforms", ["posix", "windows"])) - {"windows", "windows32", "windows64"}
    if "windows_files" in scenario and not windows_only:
        raise ScenarioError(f"{where}: windows_files are files of the Wine prefix, for Windows scenarios only")
    if "boxes" not in scenario:
        raise ScenarioError(f"{where}: no boxes given (use [] for none)")
    if "log" in scenario and (not isinstance(scenario["log"], dict) or set(scenario["log"]) - LOG_KEYS
                              or "file" not in scenario["log"]):
        raise ScenarioError(f"{where}: log takes a file and its lines")
    if not isinstance(scenario.get("runs", 1), int) or scenario.get("runs", 1) < 1:
        raise ScenarioError(f"{where}: runs is a count")
    if scenario.get("script_encoding", "utf-8") not in SCRIPT_ENCODINGS:
        raise ScenarioError(f"{where}: unknown script_encoding {scenario['script_encoding']!r}")
    for locale in scenario.get("locales", []):
        if locale not in LOCALES:
            raise ScenarioError(f"{where}: unknown locale {locale!r}")
    for platform in scenario.get("platforms", []):
        if platform not in PLATFORMS:
            raise ScenarioError(f"{where}: unknown platform {platform!r}")
    for box in scenario["boxes"]:
        unknown = set(box) - BOX_KEYS
        if unknown:
            raise ScenarioError(f"{where}: unknown box keys {sorted(unknown)}")
        if sum(key in box for key in ("text", "message", "pattern")) != 1:
            raise ScenarioError(f"{where}: a box needs exactly one of text, message and pattern")
        if ("pattern" in box) != (box.get("style") == "progress"):
            raise ScenarioError(f"{where}: a progress window, and it alone, is matched by a pattern")
        if "failed" in box and "reason" not in box:
            raise ScenarioError(f"{where}: a failed path comes with its reason")
        if "message" not in box and "style" not in box:
            raise ScenarioError(f"{where}: a text box needs its style")
        if box.get("style", "error") not in STYLES:
            raise ScenarioError(f"{where}: unknown style {box['style']!r}")
        answer = box.get("answer", "default")
        if answer not in ("default", "leave") and answer not in STYLES[box.get("style", "error")][0]:
            raise ScenarioError(f"{where}: the answer {answer!r} is not a button of that box")
        if "caption" not in box and "caption" not in scenario:
            raise ScenarioError(f"{where}: a box without a caption, and no scenario caption")


def expected_boxes(scenario, places, messages):
    """The boxes of every run of the scenario, in order."""
    return expected_boxes_of_one_run(scenario, places, messages) * scenario.get("runs", 1)


def expected_boxes_of_one_run(scenario, places, messages):
    boxes = []
    for box in scenario["boxes"]:
        if "pattern" in box:
            text = box["pattern"]
        elif "message" in box:
            if box["message"] not in messages:
                raise ScenarioError(f"no message {box['message']} in the catalogue")
            text = format_message(messages[box["message"]], substitute(box.get("args", []), places))
        else:
            text = substitute(box["text"], places)
        if "reason" in box:
            text += "\n"
            if "failed" in box:
                text += "\n" + FAILED_LABEL + '"' + substitute(box["failed"], places) + '"'
            reason = box["reason"]
            text += "\n" + (ANY_REASON if reason is True else REASON_LABEL + substitute(reason, places))
        buttons, default, icon = STYLES[box.get("style", "error")]
        boxes.append({
            "caption": substitute(box.get("caption", scenario.get("caption")), places),
            "text": text,
            "buttons": buttons,
            "default": default,
            "icon": icon,
            "answer": box.get("answer", "default"),
            "pattern": "pattern" in box,
        })
    return boxes


def split_windows_command_line(text):
    """Splits argument text the way the Windows C runtime does, for the POSIX build's argv."""
    args, current, in_quotes, have_arg, i = [], [], False, False, 0
    while i < len(text):
        c = text[i]
        if c in " \t" and not in_quotes:
            if have_arg:
                args.append("".join(current))
                current, have_arg = [], False
            i += 1
            continue
        have_arg = True
        if c == "\\":
            run = len(text[i:]) - len(text[i:].lstrip("\\"))
            if i + run < len(text) and text[i + run] == '"':
                current.append("\\" * (run // 2))
                if run % 2:
                    current.append('"')
                    i += run + 1
                else:
                    i += run
            else:
                current.append("\\" * run)
                i += run
            continue
        if c == '"':
            if in_quotes and text[i + 1:i + 2] == '"':
                current.append('"')
                i += 2
                continue
            in_quotes = not in_quotes
            i += 1
            continue
        current.append(c)
        i += 1
    if have_arg:
        args.append("".join(current))
    return args


# ------------------------------------------------------------------ directory contents

def snapshot(root):
    """Every entry below root: relative path with "/" -> file bytes, or None for a directory."""
    entries = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for d in dirnames:
            entries[os.path.relpath(os.path.join(dirpath, d), root).replace(os.sep, "/")] = None
        for f in filenames:
            full = os.path.join(dirpath, f)
            entries[os.path.relpath(full, root).replace(os.sep, "/")] = Path(full).read_bytes()
    return entries


def read_only_entries(root):
    """The entries below root that are read-only (the owner may not write them: what Windows'
    read-only attribute is on Linux, and what Wine makes of it)."""
    found = set()
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            full = os.path.join(dirpath, name)
            if not os.path.islink(full) and not os.stat(full).st_mode & 0o200:
                found.add(os.path.relpath(full, root).replace(os.sep, "/"))
    return found


def expected_after(before, changes, places):
    """The directory as it should be: as it was, with the scenario's changes applied."""
    expected = dict(before)
    for path, state in (changes or {}).items():
        path = path.rstrip("/")
        if state is None:
            for key in [k for k in expected if k == path or k.startswith(path + "/")]:
                del expected[key]
        elif state is True:
            expected[path] = None
        elif isinstance(state, str):
            expected[path] = substitute(state, places).encode("utf-8")
        else:
            raise ScenarioError(f"after: {path!r} must be a text, true or null")
    return expected


def describe_tree(entries):
    """One line per directory and binary file, and a file of text line by line, for a diff."""
    lines = []
    for path in sorted(entries):
        content = entries[path]
        if content is None:
            lines.append(f"{path}/")
            continue
        try:
            text = content.decode("utf-8")
        except UnicodeDecodeError:
            text = None
        if text is None or "\0" in text or len(content) > 4096:
            lines.append(f"{path}: {len(content)} bytes, sha256 {hashlib.sha256(content).hexdigest()[:16]}")
        else:
            lines.append(f"{path}:")
            lines += ["  | " + visible(line) for line in text.split("\n")]
    return lines


# ------------------------------------------------------------------ showing boxes

def visible(text):
    """Text for the report: tabs and other controls made visible, line breaks kept."""
    return re.sub(r"[\x00-\x09\x0b-\x1f]", lambda m: "\\t" if m.group(0) == "\t" else f"\\x{ord(m.group(0)):02x}", text)


def describe_box(box, with_icon):
    buttons = "/".join(b.capitalize() for b in box.get("buttons") or []) or "no buttons"
    if box.get("buttons") == ["ok"]:
        style = "(OK)"
    else:
        style = f"({buttons}, default {str(box.get('default')).capitalize()})"
    if with_icon:
        style += f" icon: {box.get('icon')}"
    lines = [f"[{visible(str(box.get('caption')))}]"]
    lines += ["| " + visible(line) for line in str(box.get("text")).split("\n")]
    lines.append(style)
    return lines


def describe_boxes(boxes, with_icon):
    lines = []
    for n, box in enumerate(boxes, 1):
        lines.append(f"box {n}:")
        lines += ["  " + line for line in describe_box(box, with_icon)]
    return lines or ["(no box)"]


# ------------------------------------------------------------------ one scenario

class Run:
    """One scenario made ready to run: its directory, what it expects, what it observed."""

    def __init__(self, topic, scenario, locale="default"):
        self.topic = topic
        self.scenario = scenario
        self.locale = locale
        self.case = scenario["name"] + ("" if locale == "default" else f"@{locale}")
        self.name = f"{topic}.{self.case}"
        self.workdir = None
        self.exe_dir = None
        self.working_dir = None
        self.places = {}
        self.expected = []
        self.before = {}
        self.command_line = scenario.get("command_line", "")
        self.observed = None
        self.read_only_before = set()
        self.seconds = 0.0
        self.failures = []


def prepare(build, run, messages):
    scenario = run.scenario
    run.workdir = Path(tempfile.mkdtemp(prefix="e2e-")).resolve()
    run.exe_dir = run.workdir / scenario.get("updater_dir", ".")
    today = time.localtime()
    run.places = {"dir": build.script_path(run.workdir), "src": build.script_path(run.exe_dir.resolve()),
                  "builtin_caption": BUILTIN_CAPTION, "exe": build.exe_suffix,
                  "today": f"{today.tm_year}/{today.tm_mon}/{today.tm_mday}"}
    run.expected = expected_boxes(scenario, run.places, messages)
    run.exe_dir.mkdir(parents=True, exist_ok=True)
    run.working_dir = run.workdir / scenario.get("working_dir", scenario.get("updater_dir", "."))
    run.working_dir.mkdir(parents=True, exist_ok=True)
    shutil.copy2(build.program(scenario.get("executable", "updater")), run.exe_dir / build.exe_name)
    for name in scenario.get("windows_files", {}):
        build.windows_file(name).unlink(missing_ok=True)
    for d in scenario.get("dirs", []):
        (run.workdir / d).mkdir(parents=True, exist_ok=True)
    for name, content in scenario.get("files", {}).items():
        target = run.workdir / name
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(substitute(content, run.places).encode("utf-8"))
    for name, helper in scenario.get("programs", {}).items():
        target = run.workdir / (name + build.exe_suffix)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(helper_program(build, helper), target)
    for name in scenario.get("planted_dlls", []):
        if build.name != "windows":
            raise ScenarioError("planted_dlls are for the Windows build")
        shutil.copy2(helper_program(build, "planted", ".dll"), run.exe_dir / (name + ".dll"))
    for name in scenario.get("read_only", []):
        path = run.workdir / name
        path.chmod(path.stat().st_mode & ~0o222)
    for name, days in scenario.get("file_ages", {}).items():
        # Noon of the local day `days` before today: no daylight-saving hour moves it.
        day = time.localtime(time.time() - days * 86400)
        noon = time.mktime((day.tm_year, day.tm_mon, day.tm_mday, 12, 0, 0, 0, 0, -1))
        os.utime(run.workdir / name, (noon, noon))
    if scenario.get("script") is not None:
        line_end = "\r\n" if scenario.get("crlf") else "\n"
        text = "".join(line + line_end for line in substitute(scenario["script"], run.places))
        (run.exe_dir / "patch.ini").write_bytes(build.encode_script(text, scenario.get("script_encoding")))
    run.before = snapshot(run.workdir)
    run.read_only_before = read_only_entries(run.workdir)


def any_reason(expected, shown):
    """Shown boxes with the reason line left free where the scenario leaves it so, and a
    progress window's lines as its pattern where they match it."""
    shown = [dict(box) for box in shown]
    for want, got in zip(expected, shown):
        if want["text"].endswith(ANY_REASON) and isinstance(got.get("text"), str):
            got["text"] = re.sub(re.escape(REASON_LABEL) + r".+$", ANY_REASON, got["text"])
        if want["pattern"] and isinstance(got.get("text"), str) and re.fullmatch(want["text"], got["text"], re.S):
            got["text"] = want["text"]
    return shown


def early_progress(expected, shown):
    """A progress window shown before its command had run for a second."""
    return [f"box {n}: the progress window appeared after {got['after_ms']} ms"
            for n, (want, got) in enumerate(zip(expected, shown), 1)
            if want["pattern"] and got.get("after_ms", PROGRESS_APPEARS_AFTER_MS) < PROGRESS_APPEARS_AFTER_MS]


def check(build, run):
    observed = run.observed
    observed["boxes"] = any_reason(run.expected, observed["boxes"])
    failures = list(observed["problems"]) + early_progress(run.expected, observed["boxes"])
    want_lines = describe_boxes(run.expected, build.shows_icons)
    got_lines = describe_boxes(observed["boxes"], build.shows_icons)
    if want_lines != got_lines:
        diff = difflib.unified_diff(want_lines, got_lines, "expected boxes", "boxes shown", lineterm="", n=100)
        failures.append("boxes differ:\n" + "\n".join("  " + line for line in diff))
    wanted_code = run.scenario.get("exit_code", 0)
    if observed["exit_code"] != wanted_code:
        failures.append(f"exit code {observed['exit_code']}, expected {wanted_code}")
    after = snapshot(run.workdir)
    if "log" in run.scenario:
        log_name = run.scenario["log"]["file"]
        failures += check_log(after.pop(log_name, None), run.scenario["log"].get("lines", []), run.places)
    for name, wanted in run.scenario.get("links", {}).items():
        failures += check_link(run.workdir / name, substitute(wanted, run.places))
        after.pop(name, None)
    wanted_after = expected_after(run.before, run.scenario.get("after"), run.places)
    if "read_only" in run.scenario:
        read_only_after = read_only_entries(run.workdir)
        if read_only_after != run.read_only_before:
            failures.append(f"read-only entries were {sorted(run.read_only_before)}, are {sorted(read_only_after)}")
    for name, wanted in run.scenario.get("windows_files", {}).items():
        found = build.windows_file(name)
        if not found.exists():
            failures.append(f"{found} was not made")
        elif found.read_bytes() != wanted.encode("utf-8"):
            failures.append(f"{found} holds {found.read_bytes()!r}, not {wanted!r}")
        found.unlink(missing_ok=True)
    if after != wanted_after:
        diff = difflib.unified_diff(describe_tree(wanted_after), describe_tree(after),
                                    "expected directory", "directory after the run", lineterm="", n=100)
        failures.append("directory differs:\n" + "\n".join("  " + line for line in diff))
    return failures


def check_log(content, wanted, places):
    """The log's lines: each expected pattern (a regular expression) matches a line after the
    line the one before it matched."""
    if content is None:
        return ["no log was written"]
    lines = content.decode("utf-8", "replace").split("\n")
    at = 0
    for pattern in wanted:
        regex = re.compile(substitute(pattern, places))
        while at < len(lines) and not regex.search(lines[at]):
            at += 1
        if at == len(lines):
            return [f"the log has no line matching {pattern!r} where expected; the log:\n" +
                    "\n".join("  " + line for line in lines)]
        at += 1
    return []


def helper_program(build, name, suffix=None):
    path = build.helpers / (name + (build.exe_suffix if suffix is None else suffix))
    if not path.exists():
        raise ScenarioError(f"{path} is not built")
    return path


def check_link(path, wanted):
    """A shortcut file read back by Debian's lnkinfo (target, working directory, arguments)
    and exiftool (the show command: lnkinfo prints another field under that name)."""
    if not path.exists():
        return [f"no shortcut {path.name}"]
    report = subprocess.run(["lnkinfo", str(path)], capture_output=True, text=True).stdout
    fields = dict(re.findall(r"^\t([A-Za-z ]+?)\t+: ?(.*)$", report, re.M))
    got = {"target": fields.get("Local path"), "working_dir": fields.get("Working directory", ""),
           "arguments": fields.get("Command line arguments", "")}
    show = subprocess.run(["exiftool", "-n", "-s3", "-RunWindow", str(path)], capture_output=True, text=True)
    got["show"] = int(show.stdout.strip() or -1)
    failures = []
    for key, value in wanted.items():
        if got[key] != value:
            failures.append(f"shortcut {path.name}: {key} is {got[key]!r}, expected {value!r}")
    return failures


# ------------------------------------------------------------------ the POSIX build

BUTTON_LINES = {
    "(OK)": (["ok"], "ok"),
    "(Yes/No, default Yes)": (["yes", "no"], "yes"),
    "(Yes/No, default No)": (["yes", "no"], "no"),
}


def parse_terminal_boxes(stderr):
    """Boxes from standard error: "[caption]", the text, a button line. Anything else is stray."""
    lines = stderr.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    boxes, stray, i = [], [], 0
    while i < len(lines):
        line = lines[i]
        if line.startswith("[") and line.endswith("]"):
            end = next((j for j in range(i + 1, len(lines)) if lines[j] in BUTTON_LINES), None)
            if end is not None:
                buttons, default = BUTTON_LINES[lines[end]]
                boxes.append({"caption": line[1:-1], "text": "\n".join(lines[i + 1:end]),
                              "buttons": buttons, "default": default})
                i = end + 1
                continue
        stray.append(line)
        i += 1
    return boxes, stray


class PosixBuild:
    name = "posix"
    exe_name = "patch"
    shows_icons = False

    exe_suffix = ""

    def __init__(self, build_dir):
        self.build_dir = build_dir
        self.helpers = build_dir / "tests" / "helpers"
        self.updater = build_dir / "updater"
        if not self.updater.exists():
            raise ScenarioError(f"{self.updater} is not built")

    def program(self, name):
        return self.build_dir / name

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        return False

    def script_path(self, path):
        # The form the updater reads and reports paths in: "\" as the separator.
        return str(path).replace("/", "\\")

    def encode_script(self, text, encoding):
        return SCRIPT_ENCODINGS[encoding or "utf-8"](text)

    def run_all(self, runs):
        for run in runs:
            begin = time.monotonic()
            run.observed = self.run_one(run, run.expected)
            run.seconds = time.monotonic() - begin

    def run_one(self, run, expected):
        """Runs the updater as often as the scenario says, all its boxes and answers in turn."""
        each = len(expected) // run.scenario.get("runs", 1)
        observed = {"boxes": [], "exit_code": None, "problems": []}
        for n in range(run.scenario.get("runs", 1)):
            once = self.run_once(run, expected[n * each:(n + 1) * each])
            observed["boxes"] += once["boxes"]
            observed["problems"] += once["problems"]
            observed["exit_code"] = once["exit_code"]
        return observed

    def run_once(self, run, expected):
        # Only Yes/No boxes read a line; an empty line takes the default button.
        answers = []
        for box in expected:
            if box["buttons"] == ["yes", "no"]:
                answers.append("" if box["answer"] == "default" else box["answer"])
        stdin = "".join(a + "\n" for a in answers)
        # Started by a relative path, as from a shell: the updater must still know its full path.
        program = os.path.normpath(os.path.join(os.path.relpath(run.exe_dir, run.working_dir), self.exe_name))
        if os.sep not in program:
            program = os.path.join(".", program)
        argv = [program] + split_windows_command_line(run.command_line)
        try:
            done = subprocess.run(argv, cwd=run.working_dir, input=stdin.encode("utf-8"), capture_output=True,
                                  timeout=RUN_SECONDS)
        except subprocess.TimeoutExpired as e:
            stderr = (e.stderr or b"").decode("utf-8", "replace")
            return {"boxes": parse_terminal_boxes(stderr)[0], "exit_code": None,
                    "problems": [f"still running after {RUN_SECONDS} s; standard error so far:\n{stderr}"]}
        stderr = done.stderr.decode("utf-8", "replace")
        boxes, stray = parse_terminal_boxes(stderr)
        problems = []
        if stray:
            problems.append("standard error holds more than boxes:\n" + "\n".join("  " + s for s in stray[:60]))
        return {"boxes": boxes, "exit_code": done.returncode, "problems": problems}


# ------------------------------------------------------------------ the Windows build under Wine

class WineBuild:
    name = "windows"
    exe_name = "patch.exe"
    shows_icons = True

    exe_suffix = ".exe"

    def __init__(self, build_dir):
        self.build_dir = build_dir
        self.helpers = build_dir / "tests" / "helpers"
        self.updater = build_dir / "updater.exe"
        self.driver = build_dir / "box_driver.exe"
        for needed in (self.updater, self.driver):
            if not needed.exists():
                raise ScenarioError(f"{needed} is not built")
        self.env = dict(os.environ)
        self.env.setdefault("WINEPREFIX", str(build_dir / "wineprefix"))
        self.env.setdefault("WINEDEBUG", "-all")
        self.xvfb = None

    def __enter__(self):
        prefix = Path(self.env["WINEPREFIX"])
        if not (prefix / "system.reg").exists():
            subprocess.run([str(SOURCE_DIR / "cmake" / "prepare-wine-prefix.sh"), str(prefix)],
                           env=self.env, check=True, stdin=subprocess.DEVNULL)
        self.start_display()
        # Wine's session, shared with the other tests of this prefix, starts its desktop
        # with the environment of whoever comes first. Joined (or started) here without a
        # display, it never depends on the Xvfb that this harness stops at the end; the
        # boxes get a display through the virtual desktop of each run instead.
        quiet = {key: value for key, value in self.env.items() if key != "DISPLAY"}
        try:
            subprocess.run(["wine", "cmd.exe", "/c", "exit"], env=quiet, timeout=120, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            self.stop_display()
            raise ScenarioError("Wine did not start within 120 s")
        return self

    def __exit__(self, *exc):
        self.stop_display()
        return False

    def start_display(self):
        deadline = time.monotonic() + 30
        number = 90
        while time.monotonic() < deadline and number < 200:
            socket = Path(f"/tmp/.X11-unix/X{number}")
            if socket.exists() or Path(f"/tmp/.X{number}-lock").exists():
                number += 1
                continue
            xvfb = subprocess.Popen(["Xvfb", f":{number}", "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            # Ready when its socket appears; gone when another server took the number first.
            while time.monotonic() < deadline and xvfb.poll() is None and not socket.exists():
                time.sleep(0.02)
            if socket.exists() and xvfb.poll() is None:
                self.xvfb = xvfb
                self.env["DISPLAY"] = f":{number}"
                return
            if xvfb.poll() is None:
                xvfb.kill()
                xvfb.wait()
            number += 1
        raise ScenarioError("could not start Xvfb on a free display")

    def stop_display(self):
        if self.xvfb is not None:
            self.xvfb.send_signal(signal.SIGTERM)
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
            self.xvfb = None

    def program(self, name):
        return self.build_dir / (name + ".exe")

    def windows_file(self, name):
        """A file below the Windows folder of the prefix, named with "\\" separators."""
        return Path(self.env["WINEPREFIX"]) / "drive_c" / "windows" / Path(*name.split("\\"))

    def script_path(self, path):
        return "Z:" + str(path).replace("/", "\\")

    def encode_script(self, text, encoding):
        # Without an encoding of its own a script is read in the system's 8-bit code page,
        # which only the scenario's locale chooses; a script that names none stays ASCII, so
        # that both builds read the same text.
        if encoding:
            return SCRIPT_ENCODINGS[encoding](text)
        try:
            return text.encode("ascii")
        except UnicodeEncodeError:
            raise ScenarioError("a script without script_encoding must be ASCII")

    def run_all(self, runs):
        """The runs of each locale in one start of the driver: every start of Wine costs seconds."""
        for locale in LOCALES:
            group = [run for run in runs if run.locale == locale]
            if group:
                self.run_group(group, LOCALES[locale])

    def run_group(self, runs, unix_locale):
        env = dict(self.env)
        env["LANG"] = env["LC_ALL"] = unix_locale
        for run in runs:
            run.observed = {"boxes": [], "exit_code": None, "problems": []}
        lines, owners = [], []
        for run in runs:
            times = run.scenario.get("runs", 1)
            each = len(run.expected) // times
            for n in range(times):
                answers = ",".join(box["answer"] for box in run.expected[n * each:(n + 1) * each])
                fields = [self.script_path(run.working_dir), answers, run.command_line,
                          self.script_path(run.exe_dir / self.exe_name)]
                if any(c in field for field in fields for c in "\t\n"):
                    raise ScenarioError(f"{run.name}: tabs and line breaks cannot reach the Windows command line")
                lines.append("\t".join(fields) + "\n")
                owners.append((run, n == times - 1))
        begin = time.monotonic()
        with tempfile.TemporaryDirectory(prefix="e2e-jobs-") as jobs_dir:
            jobs = Path(jobs_dir) / "jobs.txt"
            jobs.write_text("".join(lines), "utf-8")
            # A virtual desktop of its own keeps the boxes away from any window manager (Wine
            # would wait for one on every box) and from a desktop Wine started without a display.
            argv = ["wine", "explorer", "/desktop=e2e,1024x768", self.script_path(self.driver),
                    "--timeout", str(RUN_SECONDS), "--jobs", self.script_path(jobs)]
            # Output into files, not pipes: Wine processes that outlive the run must not keep
            # this harness waiting for the end of a pipe.
            out_path, err_path = Path(jobs_dir) / "out.txt", Path(jobs_dir) / "err.txt"
            with open(out_path, "wb") as out, open(err_path, "wb") as err:
                try:
                    subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                   timeout=RUN_SECONDS * len(runs) + 60)
                    timed_out = False
                except subprocess.TimeoutExpired:
                    timed_out = True
            report = out_path.read_text("utf-8", "replace")
            log = err_path.read_text("utf-8", "replace")
        seconds = (time.monotonic() - begin) / max(len(runs), 1)
        ended = set()
        for line in report.splitlines():
            try:
                item = json.loads(line)
                run, last = owners[item.pop("job")]
            except (json.JSONDecodeError, KeyError, IndexError, TypeError):
                for run in runs:
                    run.observed["problems"].append(f"box driver wrote: {line}")
                continue
            if "exit_code" in item:
                run.observed["exit_code"] = item["exit_code"]
                if last:
                    ended.add(run.name)
            elif "error" in item:
                run.observed["problems"].append(f"box driver: {json.dumps(item, ensure_ascii=False)}")
                ended.add(run.name)
            else:
                run.observed["boxes"].append(item)
        for run in runs:
            run.seconds = seconds
            if run.name not in ended:
                run.observed["problems"].append(
                    "the box driver did not report the end of this run" + (" (Wine did not end)" if timed_out else "")
                    + ("; Wine's standard error:\n" + log[-3000:] if log.strip() else ""))


# ------------------------------------------------------------------ results

def write_results(path, results, elapsed):
    """GoogleTest's XML layout, so that scripts/summarize-tests.py counts every scenario."""
    total = len(results)
    failed = sum(1 for r in results if r[2])
    suites = ET.Element("testsuites", tests=str(total), failures=str(failed), disabled="0", errors="0",
                        skipped="0", time=f"{elapsed:.3f}", name="AllTests")
    by_topic = {}
    for topic, name, failures, seconds in results:
        by_topic.setdefault(topic, []).append((name, failures, seconds))
    for topic, cases in by_topic.items():
        suite = ET.SubElement(suites, "testsuite", name=topic, tests=str(len(cases)),
                              failures=str(sum(1 for c in cases if c[1])), disabled="0", errors="0",
                              skipped="0", time=f"{sum(c[2] for c in cases):.3f}")
        for name, failures, seconds in cases:
            case = ET.SubElement(suite, "testcase", name=name, status="run", result="completed",
                                 time=f"{seconds:.3f}", classname=topic)
            for failure in failures:
                element = ET.SubElement(case, "failure", message=failure.split("\n")[0], type="")
                element.text = failure
    Path(path).parent.mkdir(parents=True, exist_ok=True)
    ET.ElementTree(suites).write(path, encoding="UTF-8", xml_declaration=True)


def results_path():
    value = os.environ.get("GTEST_OUTPUT", "")
    if not value.startswith("xml:"):
        return None
    path = value[len("xml:"):]
    # The Windows build's tests get a Wine path; this harness runs natively.
    if re.match(r"^[A-Za-z]:/", path):
        path = path[2:]
    return path


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True, type=Path, help="build folder holding the updater")
    parser.add_argument("--platform", choices=["posix", "windows"],
                        help="which build (default: windows when updater.exe exists)")
    parser.add_argument("--variant", choices=["posix", "windows32", "windows64"],
                        help="which Windows build this is, for the scenarios of one alone")
    parser.add_argument("--scenarios", type=Path, default=HERE / "scenarios")
    parser.add_argument("--filter", help="regular expression on topic.name")
    parser.add_argument("--keep", action="store_true", help="keep the temporary directories")
    options = parser.parse_args()

    build_dir = options.build.resolve()
    platform = options.platform or ("windows" if (build_dir / "updater.exe").exists() else "posix")
    try:
        messages = load_messages(SOURCE_DIR / "resources" / "messages.def")
        scenarios = load_scenarios(options.scenarios, options.filter, platform, options.variant or platform)
        build = (WineBuild if platform == "windows" else PosixBuild)(build_dir)
    except ScenarioError as e:
        print(f"error: {e}", file=sys.stderr)
        return 2
    if not scenarios:
        print("error: no scenario to run", file=sys.stderr)
        return 2

    started = time.monotonic()
    runs = [Run(topic, scenario, locale) for topic, scenario, locale in scenarios]
    try:
        with build:
            ready = []
            for run in runs:
                try:
                    prepare(build, run, messages)
                    ready.append(run)
                except ScenarioError as e:
                    run.failures = [f"scenario cannot run: {e}"]
            build.run_all(ready)
            for run in ready:
                run.failures = check(build, run)
    except ScenarioError as e:
        print(f"error: {e}", file=sys.stderr)
        return 2
    finally:
        for run in runs:
            if run.workdir is None:
                continue
            if options.keep:
                print(f"kept {run.name}: {run.workdir}")
            else:
                shutil.rmtree(run.workdir, ignore_errors=True)
    elapsed = time.monotonic() - started

    for run in runs:
        status = "FAIL" if run.failures else "ok  "
        print(f"{status} {platform} {run.name} ({run.seconds:.1f} s)")
        for failure in run.failures:
            print("\n".join("     " + line for line in failure.split("\n")))
    results = [(run.topic, run.case, run.failures, run.seconds) for run in runs]
    path = results_path()
    if path:
        write_results(path, results, elapsed)
    failed = sum(1 for r in results if r[2])
    print(f"{len(results) - failed} passed, {failed} failed ({platform}, {elapsed:.1f} s)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
