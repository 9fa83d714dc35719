#!/usr/bin/env python3
"""Interrupted runs: the updater killed (SIGKILL; under Wine, the updater's own process) in the
middle of an update, then started again.

- ROLLBACK=1: a run that copies a tree over an installed one, deletes, makes directories, moves,
  sets attributes and makes a shortcut is killed once its journal holds a given number of
  records (several moments, from its first changes to its last), then the updater starts again
  with its script made into one that changes nothing: the folder must be exactly as it was
  before the killed run, byte for byte and read-only bit for read-only bit, with nothing left
  over, the journal gone.
- The same with a large tree (2,000 files replaced, 100 deleted, 100 moved), killed at four
  moments: the next start leaves the tree exactly as it was, or says in its log what it could
  not restore, and the start after it does.
- A second start of the same script while the first runs changes nothing and says so; the
  first runs to its end.
- Without ROLLBACK: a run killed while it replaces a large file leaves the old file whole; the
  next complete run leaves the new file whole and no temporary file of the killed run.

    run_interruptions.py --build build/posix-asan --platform posix
    run_interruptions.py --build build/windows --platform windows

Results go to the file GTEST_OUTPUT names, as run_e2e.py writes them.
"""
import argparse
import hashlib
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import run_e2e  # noqa: E402  (the results file and its layout)

MOMENTS = [3, 60, 250, 500, 800]  # journal records written when the run is killed
LARGE_MOMENTS = [300, 1500, 2800, 4000]  # the same for the large tree
RUN_SECONDS = 120


def fnv1a(text):
    value = 0xcbf29ce484222325
    for byte in text.encode("utf-8"):
        value ^= byte
        value = (value * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return f"{value:016x}"


class Platform:
    def __init__(self, build, name):
        self.name = name
        self.windows = name == "windows"
        self.updater = build / ("updater.exe" if self.windows else "updater")
        self.exe_name = "patch.exe" if self.windows else "patch"
        self.env = dict(os.environ)
        if self.windows:
            self.env.setdefault("WINEPREFIX", str(build / "wineprefix"))
            self.env["WINEDEBUG"] = "-all"
            self.env["LANG"] = self.env["LC_ALL"] = "C.UTF-8"
            self.env.pop("DISPLAY", None)

    def script_form(self, path):
        return ("Z:" if self.windows else "") + str(path).replace("/", "\\")

    def journal(self, script):
        key = fnv1a(self.script_form(script)) + ".journal"
        if self.windows:
            found = list(Path(self.env["WINEPREFIX"]).glob(f"drive_c/users/*/AppData/Local/Updater/journals/{key}"))
            return found[0] if found else None
        data = Path(os.environ.get("XDG_DATA_HOME") or Path.home() / ".local" / "share")
        return data / "Updater" / "journals" / key

    def start(self, folder, log=None):
        argv = ["wine", str(folder / self.exe_name)] if self.windows else [str(folder / self.exe_name)]
        argv.append("/UNATTENDED")
        if log:
            argv.append("/LOG=" + self.script_form(log) if self.windows else "--log=" + str(log))
        return subprocess.Popen(argv, cwd=folder, env=self.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self, folder, log=None):
        process = self.start(folder, log)
        return process.wait(timeout=RUN_SECONDS)


def state(root):
    """Every entry below root: its content (None for a directory) and whether it is read-only."""
    entries = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            full = Path(dirpath) / name
            relative = str(full.relative_to(root))
            read_only = not full.lstat().st_mode & 0o200
            entries[relative] = (None if full.is_dir() else hashlib.sha256(full.read_bytes()).hexdigest(), read_only)
    return entries


def difference(before, after):
    lines = [f"gone: {p}" for p in sorted(set(before) - set(after))]
    lines += [f"new: {p}" for p in sorted(set(after) - set(before))]
    lines += [f"changed: {p}" for p in sorted(p for p in set(before) & set(after) if before[p] != after[p])]
    return lines[:40]


def write_tree(root, files, read_only=()):
    for name, content in files.items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content)
    for name in read_only:
        (root / name).chmod(0o444)


UPDATE = """[UPDATER]
NAME=Interrupted
PROC=Copy,Delete,Make,Move,Attr,Link
ROLLBACK=1
[Copy]
MODE=COPY
FROM=<Src>\\new
TO=<Src>\\app
[Delete]
MODE=DELETE
FILE=<Src>\\app\\old
[Make]
MODE=MAKEDIR
DIR=<Src>\\app\\logs\\2024
[Move]
MODE=MOVE
FROM=<Src>\\app\\move
TO=<Src>\\app\\moved
[Attr]
MODE=ATTR
FILE=<Src>\\app\\keep\\*.txt
ARG=0x1
[Link]
MODE=LINK
SRC=<Src>\\app\\d0\\f0.txt
PARAM=
SHOWCMD=1
DST=<Src>\\app\\menu\\App
"""

NOTHING = """[UPDATER]
NAME=Nothing
PROC=Nothing
[Nothing]
MODE=OSVER
"""


def killed_when(process, condition):
    """Kills the running updater as soon as `condition` holds; False when it ended first."""
    deadline = time.monotonic() + RUN_SECONDS
    killed = False
    while time.monotonic() < deadline and process.poll() is None:
        if condition():
            process.send_signal(signal.SIGKILL)
            killed = True
            break
        time.sleep(0.001)
    process.wait(timeout=RUN_SECONDS)
    return killed


def installed_and_new(directories=8):
    files = {}
    for d in range(directories):
        for f in range(50):
            files[f"app/d{d}/f{f}.txt"] = f"old {d} {f}".encode()
            files[f"new/d{d}/f{f}.txt"] = f"new {d} {f}".encode()
        files[f"new/d{d}/added.txt"] = b"added"
    for f in range(100):
        files[f"app/old/o{f}.txt"] = b"to delete"
        files[f"app/move/m{f}.txt"] = b"to move"
        files[f"app/keep/k{f}.txt"] = b"kept, made read-only"
    files["app/ro.txt"] = b"read-only all along"
    return files


def rollback_moment(platform, moment, directories=8):
    work = Path(tempfile.mkdtemp(prefix="interrupt-")).resolve()
    try:
        shutil.copy2(platform.updater, work / platform.exe_name)
        write_tree(work, installed_and_new(directories), read_only=["app/ro.txt"])
        script = work / "patch.ini"
        script.write_text(UPDATE)
        before = state(work / "app")
        def journal_reached_moment():
            journal = platform.journal(script)
            return journal and journal.exists() and journal.read_bytes().count(b"\n") >= moment

        if not killed_when(platform.start(work), journal_reached_moment):
            return [f"the run ended before its journal held {moment} records"]
        failures = []
        if platform.journal(script) is None or not platform.journal(script).exists():
            failures.append("the killed run left no journal")
        script.write_text(NOTHING)
        log = work / "next.log"
        code = platform.run(work, log)
        if code == 5:
            # It could not restore everything: its log must say what, and the start after it
            # must finish the undo.
            if "not undone:" not in log.read_text(encoding="utf-8", errors="replace"):
                failures.append("the next start ended with 5 without saying what it could not undo")
            code = platform.run(work)
        if code != 0:
            failures.append(f"the run after the killed one ended with exit code {code}")
        after = state(work / "app")
        if after != before:
            failures.append("the folder is not as it was before the killed run:\n  " +
                            "\n  ".join(difference(before, after)))
        journal = platform.journal(script)
        if journal and journal.exists():
            failures.append(f"the journal {journal} is still there")
        return failures
    finally:
        subprocess.run(["chmod", "-R", "u+w", str(work)])
        shutil.rmtree(work, ignore_errors=True)


def second_start_while_running(platform):
    """A second start of the same script while the first is at work: it leaves that run alone."""
    work = Path(tempfile.mkdtemp(prefix="interrupt-")).resolve()
    try:
        shutil.copy2(platform.updater, work / platform.exe_name)
        files = installed_and_new(40)
        write_tree(work, files, read_only=["app/ro.txt"])
        script = work / "patch.ini"
        script.write_text(UPDATE)
        first = platform.start(work)
        deadline = time.monotonic() + RUN_SECONDS
        while time.monotonic() < deadline and first.poll() is None:
            journal = platform.journal(script)
            if journal and journal.exists() and journal.read_bytes().count(b"\n") >= 100:
                break
            time.sleep(0.001)
        failures = []
        if first.poll() is not None:
            return ["the first run ended before the second could start"]
        log = work / "second.log"
        second = platform.run(work, log)
        first_code = first.wait(timeout=RUN_SECONDS)
        if second != 3:
            failures.append(f"the second start ended with {second}, not 3")
        if "another run of this script holds its journal" not in log.read_text(encoding="utf-8", errors="replace"):
            failures.append("the second start's log does not say why it did nothing")
        if first_code != 0:
            failures.append(f"the first run ended with {first_code}")
        app = state(work / "app")
        moved = [p for p in app if p.startswith("moved/")]
        if len(moved) != 100 or "old" in app or any(name.startswith("~upd") for name in app):
            failures.append("the first run did not leave the new version")
        return failures
    finally:
        subprocess.run(["chmod", "-R", "u+w", str(work)])
        shutil.rmtree(work, ignore_errors=True)


def killed_replacement(platform):
    """Without ROLLBACK: killed while it writes the replacement of a large file."""
    work = Path(tempfile.mkdtemp(prefix="interrupt-")).resolve()
    try:
        shutil.copy2(platform.updater, work / platform.exe_name)
        old = os.urandom(1 << 20) * 96
        new = os.urandom(1 << 20) * 96
        write_tree(work, {"app/big.bin": old, "new/big.bin": new})
        (work / "patch.ini").write_text("[UPDATER]\nNAME=Big\nPROC=Copy\n[Copy]\nMODE=COPY\n"
                                        "FROM=<Src>\\new\\big.bin\nTO=<Src>\\app\\big.bin\n")
        temporary_seen = lambda: any(p.name.startswith("~upd") for p in (work / "app").iterdir())
        if not killed_when(platform.start(work), temporary_seen):
            return ["the run ended before its temporary file was seen"]
        failures = []
        if (work / "app" / "big.bin").read_bytes() != old:
            failures.append("the killed run left big.bin neither old nor whole")
        code = platform.run(work)
        if code != 0:
            failures.append(f"the next run ended with exit code {code}")
        if (work / "app" / "big.bin").read_bytes() != new:
            failures.append("the next run did not leave the new big.bin whole")
        left = [p.name for p in (work / "app").iterdir() if p.name.startswith("~upd")]
        if left:
            failures.append(f"files of the killed run remain: {left}")
        return failures
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--platform", choices=["posix", "windows"], required=True)
    options = parser.parse_args()
    platform = Platform(options.build.resolve(), options.platform)
    started = time.monotonic()
    results = []
    cases = [(f"killed_after_{m}_records_then_undone_at_the_next_start", lambda m=m: rollback_moment(platform, m))
             for m in MOMENTS]
    cases += [(f"large_tree_killed_after_{m}_records_then_undone", lambda m=m: rollback_moment(platform, m, 40))
              for m in LARGE_MOMENTS]
    cases.append(("a_second_start_leaves_a_running_run_alone", lambda: second_start_while_running(platform)))
    cases.append(("killed_while_replacing_a_large_file", lambda: killed_replacement(platform)))
    for name, case in cases:
        begin = time.monotonic()
        failures = case()
        results.append(("interruptions", name, failures, time.monotonic() - begin))
        print(f"{'FAIL' if failures else 'ok  '} {platform.name} interruptions.{name}")
        for failure in failures:
            print("\n".join("     " + line for line in failure.split("\n")))
    path = run_e2e.results_path()
    if path:
        run_e2e.write_results(path, results, time.monotonic() - started)
    failed = sum(1 for r in results if r[2])
    print(f"{len(results) - failed} passed, {failed} failed ({platform.name})")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
