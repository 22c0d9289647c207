#!/usr/bin/env python3
"""Mutation run: applies each one-line mutation of a list to the source, builds incrementally,
runs the test suite and reports which mutants the tests killed and which survived.

Each line of the list reads `path ::: original text ::: mutated text`, the original text standing
exactly once in the file; '#' starts a comment line. The file is restored after every mutant, and
also when the run is interrupted.

    python3 tools/mutants/mutate.py [--list FILE] [--build-dir DIR] [--only REGEX] [--tests REGEX]
                                    [--exclude REGEX]

Run on demand, not in CI: every mutant costs a build and a run of the suite.
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LOCK = os.environ.get("ZAVREO_BUILD_LOCK", "/tmp/zavreo-build.lock")


def read_mutants(path):
    mutants = []
    with open(path, encoding="utf-8") as listing:
        for number, line in enumerate(listing, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            parts = [p.strip() for p in line.split(":::")]
            if len(parts) != 3 or not all(parts[:2]):
                sys.exit(f"{path}:{number}: expected 'path ::: original ::: mutated'")
            mutants.append((number, *parts))
    return mutants


def run(command, log):
    return subprocess.run(command, cwd=ROOT, stdout=log, stderr=subprocess.STDOUT).returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", default=os.path.join(ROOT, "tools", "mutants", "mutants.txt"))
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build"))
    parser.add_argument("--only", help="run only the mutants whose line matches this expression")
    parser.add_argument("--tests", help="ctest -R expression (default: the whole suite)")
    parser.add_argument("--exclude", help="ctest -E expression, e.g. the slow end-to-end script")
    args = parser.parse_args()
    # A termination runs the clean-up below like Ctrl+C does, so no mutant stays in the tree.
    signal.signal(signal.SIGTERM, signal.default_int_handler)

    mutants = read_mutants(args.list)
    if args.only:
        mutants = [m for m in mutants if re.search(args.only, " ".join(map(str, m)))]
    log_path = os.path.join(args.build_dir, "mutants.log")
    os.makedirs(args.build_dir, exist_ok=True)
    killed, survived, broken = [], [], []
    with open(log_path, "w", encoding="utf-8") as log:
        for number, path, original, mutated in mutants:
            label = f"#{number} {path}: {original!r} -> {mutated!r}"
            full = os.path.join(ROOT, path)
            if not os.path.isfile(full):
                print(f"stale    {label} (no such file)")
                broken.append(label)
                continue
            with open(full, encoding="utf-8") as source:
                text = source.read()
            if text.count(original) != 1:
                print(f"stale    {label} (original text found {text.count(original)} times)")
                broken.append(label)
                continue
            start = time.monotonic()
            try:
                with open(full, "w", encoding="utf-8") as source:
                    source.write(text.replace(original, mutated))
                log.write(f"\n===== {label}\n")
                log.flush()
                built = run(["flock", LOCK, "cmake", "--build", args.build_dir, "-j",
                             str(os.cpu_count() or 2)], log) == 0
                if not built:
                    verdict = "nobuild"
                    broken.append(label)
                else:
                    ctest = ["flock", LOCK, "ctest", "--test-dir", args.build_dir, "-j",
                             str(os.cpu_count() or 2), "--timeout", "300", "--stop-on-failure"]
                    if args.tests:
                        ctest += ["-R", args.tests]
                    if args.exclude:
                        ctest += ["-E", args.exclude]
                    passed = run(ctest, log) == 0
                    verdict = "survived" if passed else "killed"
                    (survived if passed else killed).append(label)
            finally:
                with open(full, "w", encoding="utf-8") as source:
                    source.write(text)
            print(f"{verdict:8} {label} ({time.monotonic() - start:.0f} s)", flush=True)
        # Leave the build matching the restored sources.
        run(["flock", LOCK, "cmake", "--build", args.build_dir, "-j", str(os.cpu_count() or 2)],
            log)

    tried = len(killed) + len(survived)
    print(f"\n{len(killed)} killed, {len(survived)} survived, {len(broken)} not run "
          f"(stale or not building) of {len(mutants)}; log in {log_path}")
    if tried:
        print(f"killed {100 * len(killed) // tried} % of the mutants that ran")
    for label in survived:
        print(f"  survived: {label}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
