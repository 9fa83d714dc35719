#!/usr/bin/env python3
"""Power cuts at every moment of an update: each crash state a persistence model allows is
rebuilt and the updater started on it, which must leave exactly the old version or exactly
the new one (the new one once the run had said it was done), end normally, change nothing on
a second start, and let a later update run.

    crash_explorer.py --build build/posix-asan [--shim build/posix-asan/libidentity_shim.so]

1. The reference update runs once under strace; its trace becomes file operations
   (trace_ops), checked against the tree it really left (replay).
2. crash_states gives, at every moment, the states the conservative model allows (and the
   ext4-like one); each distinct tree is checked as above. A sample of them is cut off again
   during its own recovery, and checked the same way.
3. The explorer checks itself: a real kill at the k-th rename leaves what the model says;
   builds with a flush or a check left out on purpose must be caught.

Results go to the file GTEST_OUTPUT names, as the end-to-end harness writes them.
"""
import argparse
import multiprocessing
import os
import random
import shutil
import stat
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "e2e"))
import crash_states  # noqa: E402
import run_e2e  # noqa: E402  (the results file)
import trace_ops  # noqa: E402

STRACE_SIZE = 4 << 20     # the longest write the trace shows whole
RUN_SECONDS = 60
SUCCESS_TEXT = b"end: completed, exit code 0"
THE_UPDATER = b"<the updater itself: linked in, never read>"

NOTHING = """[UPDATER]
NAME=Nothing
PROC=Nothing
[Nothing]
MODE=OSVER
"""

LATER = """[UPDATER]
NAME=Later
PROC=Copy
ROLLBACK=1
[Copy]
MODE=COPY
FROM=<Src>\\v3
TO=<Src>\\app
"""


def seeded_bytes(seed, size):
    return random.Random(seed).randbytes(size)


def reference_files():
    installed = {
        "app/a.txt": b"old a\n" * 1700,            # over 8 KiB
        "app/big.bin": seeded_bytes(1, 1 << 20),   # 1 MiB
        "app/empty.txt": b"not empty before\n",
        "app/keep.txt": b"untouched\n",
        "app/old/o1.txt": b"deleted 1\n",
        "app/old/o2.txt": b"deleted 2\n",
        "app/move/m1.txt": b"moved 1\n",
        "app/move/m2.txt": b"moved 2\n",
    }
    new = {
        "new/a.txt": b"new a, longer\n" * 700,
        "new/big.bin": seeded_bytes(2, 1 << 20),
        "new/empty.txt": b"",
        "new/sub/s.txt": b"in a new folder\n",
        "new/sub/t.bin": seeded_bytes(3, 9000),
    }
    return installed, new


@dataclass
class Scenario:
    name: str
    script: str
    rollback: bool


SCENARIOS = [
    Scenario("rollback", """[UPDATER]
NAME=Reference
PROC=Copy,Delete,Move,Make
ROLLBACK=1
[Copy]
MODE=COPY
FROM=<Src>\\new
TO=<Src>\\app
[Delete]
MODE=DELETE
FILE=<Src>\\app\\old
[Move]
MODE=MOVE
FROM=<Src>\\app\\move
TO=<Src>\\app\\moved
[Make]
MODE=MAKEDIR
DIR=<Src>\\app\\logs\\2024
""", True),
    Scenario("plain", """[UPDATER]
NAME=Reference
PROC=Copy
[Copy]
MODE=COPY
FROM=<Src>\\new
TO=<Src>\\app
""", False),
]


# ------------------------------------------------------------------ a place to run in

class Place:
    """A folder of its own: the modelled root (the updater's folder and its data folder)
    and, beside it, the updater to link in, the logs and the identity table."""

    def __init__(self, updater, shim, tag):
        # In memory where there is room: every state's recovery flushes what it puts back,
        # which on a disk is most of the explorer's time and proves nothing the model does not.
        memory = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
        self.base = Path(tempfile.mkdtemp(prefix=f"crash-{tag}-", dir=memory)).resolve()
        self.root = self.base / "r"
        self.world = self.root / "world"
        self.home = self.root / "home"
        self.master = self.base / "updater"
        shutil.copy2(updater, self.master)
        self.shim = shim
        self.map = self.base / "identity.map"

    def env(self, identities=False):
        env = dict(os.environ, XDG_DATA_HOME=str(self.home), LANG="C.UTF-8")
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0:detect_leaks=0"
        if identities and self.shim:
            env["LD_PRELOAD"] = str(self.shim)
            env["UPDATER_IDENTITY_MAP"] = str(self.map)
        return env

    def clear(self):
        if self.root.exists():
            subprocess.run(["chmod", "-R", "u+rwx", str(self.root)], check=False)
            shutil.rmtree(self.root)

    def lay_out(self, script):
        """The reference installation before its update."""
        self.clear()
        installed, new = reference_files()
        for name, data in {**installed, **new}.items():
            path = self.world / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        self.home.mkdir(parents=True)
        os.link(self.master, self.world / "patch")
        (self.world / "patch.ini").write_text(script)

    def run(self, program="patch", log=None, trace=None, identities=False, inject=None):
        argv = [str(self.world / program), "--unattended"]
        if log:
            argv.append(f"--log={log}")
        if trace:
            argv = ["strace", "-f", "-y", "-xx", "-v", "-qq", "-s", str(STRACE_SIZE), "-o", str(trace)] + \
                   ([f"--inject={inject}"] if inject else []) + argv
        done = subprocess.run(argv, cwd=self.world, env=self.env(identities), stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=RUN_SECONDS)
        return done.returncode, done.stderr.decode(errors="replace")

    def snapshot(self):
        """The modelled root as inodes, the updater itself kept out of the bytes."""
        inodes = trace_ops.snapshot(str(self.root))
        world = inodes[inodes[0].entries["world"]]
        for name in ("patch", "later"):
            if name in world.entries:
                inodes[world.entries[name]].data = THE_UPDATER
        return inodes

    def materialize(self, tree, identities, numbers):
        """The tree rebuilt under the root; the identity table written for what it holds."""
        self.clear()
        self.root.mkdir()
        directories = []
        for path, (kind, mode, data) in sorted(tree.items()):
            full = self.root / path
            if kind == "dir":
                full.mkdir()
                directories.append((full, mode))
            elif kind == "link":
                os.symlink(data, full)
            elif data == THE_UPDATER:
                os.link(self.master, full)
            else:
                full.write_bytes(data)
                os.chmod(full, mode)
        for full, mode in reversed(directories):
            os.chmod(full, mode)
        lines = []
        for path, number in numbers.items():
            recorded = identities.get(number)
            if recorded is None:
                recorded = (1 << 40) + number, 1  # never told to the run: matches nothing it wrote
            lines.append(f"{os.lstat(self.root / path).st_ino} {recorded[0]} {recorded[1]}\n")
        self.map.write_text("".join(lines))


def disk_tree(root):
    """{relative path: (kind, mode, bytes)} of the folder as it stands."""
    out = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in sorted(dirnames + filenames):
            full = Path(dirpath) / name
            info = full.lstat()
            relative = str(full.relative_to(root))
            if stat.S_ISLNK(info.st_mode):
                out[relative] = ("link", 0o777, os.readlink(full).encode())
            elif stat.S_ISDIR(info.st_mode):
                out[relative] = ("dir", stat.S_IMODE(info.st_mode), b"")
            elif relative in ("world/patch", "world/later"):
                out[relative] = ("file", stat.S_IMODE(info.st_mode), THE_UPDATER)
            else:
                out[relative] = ("file", stat.S_IMODE(info.st_mode), full.read_bytes())
    return out


def versions(tree):
    """The part of a tree that is the application: its folders below world/, the script and
    the updater left out."""
    return {p: v for p, v in tree.items()
            if p.startswith(("world/app", "world/new")) and p not in ("world/patch", "world/patch.ini")}


def difference(expected, actual, limit=12):
    lines = [f"missing: {p}" for p in sorted(set(expected) - set(actual))]
    lines += [f"extra: {p}" for p in sorted(set(actual) - set(expected))]
    lines += [f"differs: {p} ({expected[p][0]} {expected[p][1]:o} {len(expected[p][2])} bytes, found "
              f"{actual[p][0]} {actual[p][1]:o} {len(actual[p][2])} bytes)"
              for p in sorted(set(expected) & set(actual)) if expected[p] != actual[p]]
    return "; ".join(lines[:limit])


# ------------------------------------------------------------------ one reference update, recorded

@dataclass
class Recording:
    base: dict           # inodes before the run
    known: dict          # inodes as the run left them (every inode it ever made)
    items: list          # crash_states items
    identities: dict     # inode -> recorded identity
    old: dict            # versions before
    new: dict            # versions after
    exit_code: int
    problems: list = field(default_factory=list)


def record(place, scenario):
    place.lay_out(scenario.script)
    base = place.snapshot()
    before = versions(disk_tree(place.root))
    trace = place.base / "trace.txt"
    code, err = place.run(log=place.base / "run.log", trace=trace)
    known = {n: trace_ops.Inode(i.kind, i.mode, i.data, dict(i.entries)) for n, i in base.items()}
    ops, identities, _ = trace_ops.read_trace(str(trace), str(place.root), known, SUCCESS_TEXT)
    items = crash_states.changes_of(ops)
    after_tree = disk_tree(place.root)
    recording = Recording(base, known, items, identities, before, versions(after_tree), code)
    if code != 0:
        recording.problems.append(f"the reference update ended with {code}: {err[-500:]}")
    replayed = crash_states.replay(base, known, items)
    if replayed != after_tree:
        recording.problems.append("replaying the trace does not give the tree the run left: " +
                                  difference(after_tree, replayed))
    return recording


# ------------------------------------------------------------------ one crash state, checked

def acceptable(scenario, recording, found, after_success):
    """Why the application's folders as found are neither version the run allows; None when
    they are."""
    if scenario.rollback:
        if found == recording.new:
            return None
        if found == recording.old and not after_success:
            return None
        return ("neither the old version nor the new one" if not after_success else
                "not the new version, after the run had said it was done") + ": against new, " + \
            difference(recording.new, found) + (" / against old, " + difference(recording.old, found)
                                                if not after_success else "")
    # Without ROLLBACK: every file that was there old or new, whole; nothing else. A file the
    # run was still making under its own name may be short, as any copy cut off is, until
    # the run says it is done.
    problems = []
    for path in sorted(set(found) | set(recording.old) | set(recording.new)):
        allowed = [v[path] for v in (recording.old, recording.new) if path in v]
        being_made = path not in recording.old and path in recording.new and not after_success
        if being_made and path in found and found[path][0] == recording.new[path][0]:
            continue
        if path in found and found[path] not in allowed:
            problems.append(f"{path} is neither its old nor its new self")
        if path not in found and path in recording.old:
            problems.append(f"{path} is gone")
    if after_success and found != recording.new:
        problems.append("not the new version after the run had said it was done: " +
                        difference(recording.new, found))
    return "; ".join(problems[:8]) or None


def check_state(place, scenario, recording, tree, numbers, identities, after_success):
    """The violations the updater's starts on this crash state show (empty when none)."""
    problems = checked_state(place, scenario, recording, tree, numbers, identities, after_success)
    keep = os.environ.get("CRASH_KEEP")
    if problems and keep and not os.path.exists(keep):
        # For a look at the first one: the state as rebuilt, and what the start did with it.
        shutil.copytree(place.base, keep, symlinks=True)
        place.materialize(dict(tree, **{"world/patch.ini": ("file", 0o644, NOTHING.encode())}), identities, numbers)
        shutil.copytree(place.root, Path(keep) / "state", symlinks=True)
    return problems


def checked_state(place, scenario, recording, tree, numbers, identities, after_success):
    tree = dict(tree)
    tree["world/patch.ini"] = ("file", 0o644, NOTHING.encode())
    place.materialize(tree, identities, numbers)
    log = place.base / "next.log"
    log.unlink(missing_ok=True)
    code, err = place.run(log=log, identities=True)
    if code != 0:
        text = log.read_text(errors="replace") if log.exists() else err
        return [f"the next start ended with {code}: " + text[-600:]]
    first = disk_tree(place.root)
    problems = []
    why = acceptable(scenario, recording, versions(first), after_success)
    if why:
        problems.append("after the next start, " + why)
    left = [p for p in first if p.startswith("home/Updater/journals/") and ".damaged" not in p]
    if left:
        problems.append(f"the next start left {left}")
    code, err = place.run(identities=True)
    if code != 0 or disk_tree(place.root) != first:
        problems.append(f"a second start ended with {code} or changed something")
    (place.world / "v3").mkdir(exist_ok=True)
    (place.world / "v3" / "a.txt").write_bytes(b"version 3\n")
    (place.world / "later.ini").write_text(LATER)
    os.link(place.master, place.world / "later")
    code, err = place.run("later", identities=True)
    if code != 0 or (place.world / "app" / "a.txt").read_bytes() != b"version 3\n":
        problems.append(f"a later update on the recovered tree ended with {code}")
    return problems


# ------------------------------------------------------------------ exploring

@dataclass
class Report:
    scenario: str
    model: str
    moments: int = 0
    built: int = 0
    checked: int = 0
    nested: int = 0
    violations: list = field(default_factory=list)
    problems: list = field(default_factory=list)  # of the recording itself: nothing explored


def explore(place, scenario, recording, model, share=(0, 1), nested_every=0, limit=None):
    report = Report(scenario.name, model)
    items = recording.items
    moments = [m for m in range(len(items) + 1) if m % share[1] == share[0]]
    for state, stats in crash_states.crash_states(recording.base, recording.known, items, model,
                                                  seed=7 + share[0], moments=moments):
        report.moments, report.built = stats["moments"], stats["built"]
        report.checked += 1
        numbers = state.numbers
        problems = check_state(place, scenario, recording, state.tree, numbers, recording.identities,
                               state.after_success)
        for p in problems:
            report.violations.append(f"[{model}] crash at item {state.moment} ({describe(items, state.moment)}),"
                                     f" {state.label}: {p}")
        if nested_every and not problems and report.checked % nested_every == 0:
            report.nested += nest(place, scenario, recording, state, report)
        if limit and len(report.violations) >= limit:
            break
    return report


def describe(items, moment):
    if moment == 0:
        return "before the first change"
    item = items[moment - 1]
    op = item.op if isinstance(item, crash_states.Change) else item
    what = {"create": f"made {op.name}", "rename": f"renamed {op.name} to {op.to_name}",
            "unlink": f"removed {op.name}", "write": f"wrote {len(op.data)} bytes at {op.offset}",
            "truncate": "truncated", "chmod": "changed a mode", "sync": "flushed", "success": "said done"}
    return "after it " + what.get(op.kind, op.kind)



def nest(place, scenario, recording, outer, report):
    """The recovery of one crash state, itself cut off at each of its moments: the start
    after it must still leave a version the outer state allows. Returns the states checked."""
    tree = dict(outer.tree)
    tree["world/patch.ini"] = ("file", 0o644, NOTHING.encode())
    place.materialize(tree, recording.identities, outer.numbers)
    base = place.snapshot()
    # The rebuilt inodes carry, through the table, the identities the cut-off run recorded.
    _, base_numbers = crash_states.State(base).numbered()
    identities = {number: recording.identities[outer.numbers[path]] for path, number in base_numbers.items()
                  if outer.numbers.get(path) in recording.identities}
    trace = place.base / "nested.txt"
    place.run(trace=trace, identities=True)
    known = {n: trace_ops.Inode(i.kind, i.mode, i.data, dict(i.entries)) for n, i in base.items()}
    ops, told, _ = trace_ops.read_trace(str(trace), str(place.root), known)
    # The trace shows what the kernel told, before the table's change: right only for what
    # the recovery itself made.
    identities = {**told, **identities}
    items = crash_states.changes_of(ops)
    count = 0
    for state, _ in crash_states.crash_states(base, known, items, "conservative", seed=11):
        count += 1
        for p in check_state(place, scenario, recording, state.tree, state.numbers, identities,
                             outer.after_success):
            report.violations.append(f"[nested] crash at item {outer.moment} ({outer.label}), its recovery cut "
                                     f"at {state.moment} ({describe(items, state.moment)}), {state.label}: {p}")
    return count


def killed_runs_match_the_model(place, scenario, kills):
    """A real SIGKILL at the k-th rename leaves what the model says a killed process leaves:
    every change before that call, none of it or after."""
    problems = []
    for k in kills:
        place.lay_out(scenario.script)
        base = place.snapshot()
        trace = place.base / f"killed-{k}.txt"
        code, _ = place.run(trace=trace, inject=f"renameat2:signal=KILL:when={k}")
        if code != -9 and code != 137:
            problems.append(f"the run meant to be killed at its rename {k} ended with {code}")
            continue
        known = {n: trace_ops.Inode(i.kind, i.mode, i.data, dict(i.entries)) for n, i in base.items()}
        ops, _, _ = trace_ops.read_trace(str(trace), str(place.root), known)
        items = crash_states.changes_of(ops)
        renames = [i for i, it in enumerate(items) if isinstance(it, crash_states.Change) and it.op.kind == "rename"]
        if len(renames) != k - 1:
            problems.append(f"killed at its rename {k}, the trace shows {len(renames)} renames done")
        left = disk_tree(place.root)
        model = crash_states.process_crash(base, known, items, len(items))
        if left != model:
            problems.append(f"killed at its rename {k}: the disk is not the model's prefix state: " +
                            difference(model, left))
    return problems


# ------------------------------------------------------------------ putting it together

def explore_share(arguments):
    """One worker's part: every moment whose number is `share` modulo `workers`."""
    updater, shim, scenario_name, model, share, workers, nested_every, limit = arguments
    scenario = next(s for s in SCENARIOS if s.name == scenario_name)
    place = Place(updater, shim, f"{scenario_name}-{share}")
    try:
        recording = record(place, scenario)
        if recording.problems:
            report = Report(scenario.name, model)
            report.problems = recording.problems
            return report
        return explore(place, scenario, recording, model, (share, workers), nested_every, limit)
    finally:
        place.clear()
        shutil.rmtree(place.base, ignore_errors=True)


def explore_all(updater, shim, scenario, model, workers, nested_every=0, limit=None):
    jobs = [(updater, shim, scenario.name, model, w, workers, nested_every, limit) for w in range(workers)]
    with multiprocessing.Pool(workers) as pool:
        parts = pool.map(explore_share, jobs)
    total = Report(scenario.name, model)
    for part in parts:
        total.moments += part.moments
        total.built += part.built
        total.checked += part.checked
        total.nested += part.nested
        total.violations += part.violations
        total.problems += part.problems
    return total


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--workers", type=int, default=max(1, min(4, os.cpu_count() or 1)))
    parser.add_argument("--nested-every", type=int, default=150,
                        help="cut off the recovery of every n-th distinct crash state too")
    parser.add_argument("--only", help="one scenario")
    parser.add_argument("--models", default="conservative,ext4")
    parser.add_argument("--skip-checks", action="store_true", help="only the exploration, not the self-checks")
    parser.add_argument("--violations", type=Path, help="write every violation found to this file")
    options = parser.parse_args()
    build = options.build.resolve()
    updater = build / "updater"
    shim = build / "libidentity_shim.so"
    for needed in (updater, shim):
        if not needed.exists():
            print(f"{needed} is missing: build the tree first")
            return 1
    if not shutil.which("strace"):
        print("strace is missing: scripts/setup installs it")
        return 1
    results = []

    def result(name, failures, begin):
        results.append(("crash", name, failures, time.monotonic() - begin))
        print(f"{'FAIL' if failures else 'ok  '} crash.{name}")
        for failure in failures[:30]:
            print("     " + failure)
        if len(failures) > 30:
            print(f"     ... and {len(failures) - 30} more")
        sys.stdout.flush()

    for scenario in SCENARIOS:
        if options.only and scenario.name != options.only:
            continue
        for model in options.models.split(","):
            begin = time.monotonic()
            report = explore_all(updater, shim, scenario, model, options.workers,
                                 options.nested_every if model == "conservative" else 0)
            report.violations = report.problems + report.violations
            print(f"     {scenario.name}, {model} model: {report.moments} moments, {report.built} crash states "
                  f"built, {report.checked} distinct ones checked, {report.nested} states of cut-off recoveries; "
                  f"{len(report.violations)} violations")
            result(f"{scenario.name}_{model}", report.violations, begin)
            if options.violations:
                with open(options.violations, "a") as f:
                    f.write("".join(v + "\n" for v in report.violations))
    if options.skip_checks:
        return 1 if any(r[2] for r in results) else 0

    begin = time.monotonic()
    place = Place(updater, shim, "killed")
    try:
        result("killed_runs_match_the_model", killed_runs_match_the_model(place, SCENARIOS[0], [1, 2, 4, 7]), begin)
    finally:
        place.clear()
        shutil.rmtree(place.base, ignore_errors=True)

    for fault in ("flush-before-rename-left-out", "directory-flush-left-out", "journal-flush-left-out"):
        begin = time.monotonic()
        variant = build / f"updater-crash-fault-{fault}"
        found, problems = [], []
        for scenario in SCENARIOS:
            if variant.exists() and not found:
                # Only a crash state counts: a build that cannot even run its update is not caught.
                report = explore_all(variant, shim, scenario, "conservative", options.workers, 0, limit=1)
                found, problems = report.violations, problems + report.problems
        if not variant.exists():
            problems.append(f"{variant} is missing")
        print(f"     a build with {fault}: " + (found[0] if found else "nothing found"))
        result(f"catches_a_build_with_{fault.replace('-', '_')}",
               problems + ([] if found else [f"the explorer found nothing wrong with a build with {fault}"]), begin)

    path = run_e2e.results_path()
    if path:
        run_e2e.write_results(path, results, sum(r[3] for r in results))
    return 1 if any(r[2] for r in results) else 0


if __name__ == "__main__":
    sys.exit(main())
