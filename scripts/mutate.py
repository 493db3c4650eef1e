#!/usr/bin/env python3
"""Plants one-line faults in the game's code, one at a time, and says which the tests catch.

Each line of the faults file (tests/mutations.txt by default) is

    name | file | original text | replacement

split on " | " (so a fault's text cannot itself hold " | "). The original text must occur
exactly once in the file. For each fault the file is changed in place, the unit tests are
rebuilt incrementally in the build folder and run (ctest, the tests whose names end in
"Test", stopping at the first failure, within a time bound), and the file is put back. A
fault whose text is gone or is not unique is reported as stale and not counted; one that
does not build is reported apart. A developer's tool: not run by the test scripts.

    scripts/mutate.py [--build build/default] [--faults tests/mutations.txt] [--only TEXT[,TEXT]]
                      [--scope all|near]
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Fault:
    def __init__(self, number, name, path, original, replacement):
        self.number = number
        self.name = name
        self.path = path
        self.original = original
        self.replacement = replacement
        self.verdict = None
        self.detail = ""

    def folder(self):
        parts = self.path.split("/")
        if parts[0] == "host" and len(parts) > 2:
            return "/".join(parts[:2])
        if parts[0] == "hud":
            return self.path.rsplit(".", 1)[0]
        return parts[0]


def read_faults(path):
    faults = []
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            fields = line.split(" | ")
            if len(fields) != 4:
                sys.exit("%s:%d: want 'name | file | original | replacement'" % (path, number))
            faults.append(Fault(number, *[field.strip() for field in fields]))
    return faults


class Restorer:
    """Keeps a copy of the file being changed beside the build, so that an interrupted run
    (even a killed one) is put right by the next."""

    def __init__(self, build):
        self.backup = os.path.join(build, "mutate-backup")
        self.path = None

    def recover(self):
        record = os.path.join(self.backup, "path")
        if os.path.exists(record):
            with open(record) as f:
                path = f.read()
            shutil.copyfile(os.path.join(self.backup, "original"), path)
            os.utime(path)
            print("mutate: put back %s from an interrupted run" % path)
        shutil.rmtree(self.backup, ignore_errors=True)

    def keep(self, path):
        os.makedirs(self.backup, exist_ok=True)
        shutil.copyfile(path, os.path.join(self.backup, "original"))
        with open(os.path.join(self.backup, "path"), "w") as f:
            f.write(path)
        self.path = path

    def restore(self):
        if self.path is None:
            return
        shutil.copyfile(os.path.join(self.backup, "original"), self.path)
        # A new time stamp, so that the next build compiles the original again.
        os.utime(self.path)
        shutil.rmtree(self.backup, ignore_errors=True)
        self.path = None


def run(command, timeout):
    """(exit status, output); status None when the time ran out."""
    process = subprocess.Popen(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True, start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        output, _ = process.communicate()
        return None, output


def unit_tests(build, pattern):
    """The tests matching `pattern` that are programs of their own, to be built and run by
    name. ctest adds the fixtures a test requires (the stand-in home made before and checked
    after) to any selection; they are commands, not build targets, so they are left out here
    (-FA) and ctest adds them again when the tests run."""
    status, output = run(["ctest", "--test-dir", build, "-N", "-R", pattern, "-FA", ".*"], 60)
    names = [line.split(":", 1)[1].strip() for line in output.splitlines()
             if line.strip().startswith("Test") and "#" in line]
    if status != 0 or not names:
        sys.exit("mutate: no unit tests found in %s (configure it first)\n%s" % (build, output))
    status, output = run(["cmake", "--build", build, "--target", "help"], 60)
    targets = set(line.split()[1] for line in output.splitlines() if line.startswith("... "))
    if status != 0 or not targets:
        sys.exit("mutate: cannot list the build targets of %s\n%s" % (build, output))
    scripted = [name for name in names if name not in targets]
    if scripted:
        print("mutate: left out, not programs of their own: %s" % " ".join(scripted))
    return [name for name in names if name in targets]


# Tests that run the whole game reach every layer.
GAME_HEADERS = ('#include "app/Game.h"', '#include "app/App.h"')


def near_tests(fault, targets):
    """The unit tests that can reach the fault's code: those that include a header of its
    folder, and for the game's own layers those that run the whole game (on the headless
    backend, which reaches no other backend)."""
    parts = fault.path.split("/")
    folder = "/".join(parts[:2]) if parts[0] == "host" and len(parts) > 2 else parts[0]
    chosen = []
    for name in targets:
        for source in ("tests/%s.cpp" % name, "tests/sdl/%s.cpp" % name):
            path = os.path.join(ROOT, source)
            if os.path.exists(path):
                text = open(path, encoding="utf-8").read()
                runsGame = parts[0] != "host" and any(h in text for h in GAME_HEADERS)
                if '#include "%s/' % folder in text or runsGame:
                    chosen.append(name)
    return chosen


def build_and_test(args, targets):
    """'caught', 'survived' or 'no build', with the failing tests' names."""
    status, output = run(["cmake", "--build", args.build, "-j", str(args.jobs), "--target"] + targets,
                         args.build_timeout)
    if status != 0:
        return "no build", output.strip().splitlines()[-1:] if output.strip() else []
    status, output = run(["ctest", "--test-dir", args.build, "-j", str(args.jobs), "-R",
                          "^(%s)$" % "|".join(targets), "--stop-on-failure", "--timeout",
                          str(args.test_timeout)], args.test_timeout * 4)
    if status is None:
        return "caught", ["(time bound)"]
    listed = output.split("The following tests FAILED:", 1)[1] if "tests FAILED:" in output else ""
    failed = [line.split(" - ", 1)[1].rsplit("(", 1)[0].strip() for line in listed.splitlines()
              if " - " in line]
    return ("caught" if status != 0 else "survived"), failed


def main():
    parser = argparse.ArgumentParser(description="Plant faults one at a time and run the unit tests.")
    parser.add_argument("--build", default="build/default")
    parser.add_argument("--faults", default="tests/mutations.txt")
    parser.add_argument("--only", default="", help="only the faults whose name or file holds this text (or one of these, comma-separated)")
    parser.add_argument("--tests", default="Test$", help="ctest's -R: the unit tests to build and run (not the scripts)")
    parser.add_argument("--scope", choices=("all", "near"), default="all",
                        help="near: for each fault only the tests that include its folder's headers "
                        "or run the whole game (quicker; can only miss catches)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--build-timeout", type=int, default=900)
    parser.add_argument("--test-timeout", type=int, default=240, help="seconds for one test executable")
    args = parser.parse_args()
    args.build = os.path.join(ROOT, args.build)

    restorer = Restorer(args.build)
    restorer.recover()

    def stop(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGHUP, stop)

    wanted = args.only.split(",")
    faults = [f for f in read_faults(os.path.join(ROOT, args.faults))
              if any(w in f.name or w in f.path for w in wanted)]
    targets = unit_tests(args.build, args.tests)

    verdict, detail = build_and_test(args, targets)
    if verdict != "survived":
        sys.exit("mutate: the tests do not pass without a fault (%s: %s)" % (verdict, " ".join(detail)))

    try:
        for fault in faults:
            path = os.path.join(ROOT, fault.path)
            text = open(path, encoding="utf-8").read() if os.path.exists(path) else ""
            if text.count(fault.original) != 1:
                fault.verdict = "stale"
                fault.detail = "found %d times" % text.count(fault.original)
            else:
                started = time.time()
                restorer.keep(path)
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text.replace(fault.original, fault.replacement))
                chosen = near_tests(fault, targets) if args.scope == "near" else targets
                try:
                    fault.verdict, failed = build_and_test(args, chosen)
                finally:
                    restorer.restore()
                fault.detail = "%s (%ds)" % (" ".join(failed), time.time() - started)
            print("%-9s %-32s %s" % (fault.verdict, fault.name, fault.detail), flush=True)
    except KeyboardInterrupt:
        restorer.restore()
        sys.exit("mutate: interrupted; the code is as it was")

    counted = [f for f in faults if f.verdict in ("caught", "survived")]
    folders = sorted(set(f.folder() for f in counted))
    for folder in folders:
        mine = [f for f in counted if f.folder() == folder]
        print("  %-22s %d of %d caught" % (folder, sum(f.verdict == "caught" for f in mine), len(mine)))
    caught = sum(f.verdict == "caught" for f in counted)
    others = ["%d %s" % (sum(f.verdict == v for f in faults), v) for v in ("stale", "no build")
              if any(f.verdict == v for f in faults)]
    print("mutations: %d caught, %d survived (%d %%)%s" %
          (caught, len(counted) - caught, round(100 * caught / len(counted)) if counted else 0,
           "; " + ", ".join(others) if others else ""))
    return 0 if caught == len(counted) else 1


if __name__ == "__main__":
    sys.exit(main())
