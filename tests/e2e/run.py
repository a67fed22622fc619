#!/usr/bin/env python3
"""The end-to-end suite: drives the installed program folder from outside,
through the desktop's accessibility bus (AT-SPI), on a desktop of its own.

  run.py install CMAKE BUILD_DIR DEST    cmake --install BUILD_DIR into a fresh DEST
  run.py list                            the scenarios' names
  run.py scenario NAME --program DEST --artifacts DIR [--sanitized]

A scenario exits 0 when it passed, 1 when it failed (its screenshot,
accessibility tree and logs are then in DIR/NAME), and 77 when the tools it
needs are missing, which ctest reports as skipped."""

import argparse
import os
import shutil
import signal
import subprocess
import sys

# The suite runs from the source tree, which it leaves as it found it.
sys.dont_write_bytecode = True

import desktop  # noqa: E402

SKIPPED = 77
# Within ctest's own time-out, so that the scenario still ends what it started.
SCENARIO_SECONDS = 100


def install(cmake, build_dir, dest):
    shutil.rmtree(dest, ignore_errors=True)
    result = subprocess.run([cmake, "--install", build_dir, "--prefix", dest],
                            stdout=subprocess.DEVNULL)
    return result.returncode


class TimeUp(Exception):
    pass


def run_scenario(name, program, artifacts, sanitized, version):
    missing = desktop.missing_tools()
    if missing:
        print("e2e %s: SKIPPED: missing %s (scripts/setup installs them)" %
              (name, ", ".join(missing)))
        return SKIPPED
    if not os.path.isfile(os.path.join(program, "velotan")):
        print("e2e %s: no installed program in %s" % (name, program))
        return 1

    import case
    import scenarios

    if name not in scenarios.SCENARIOS:
        print("e2e: no scenario %r; there are %s" % (name, ", ".join(scenarios.SCENARIOS)))
        return 2

    # A time-out or a TERM from ctest still ends every process started.
    def time_up(signum, frame):
        raise TimeUp("the scenario ran out of time" if signum == signal.SIGALRM
                     else "the scenario was stopped")

    signal.signal(signal.SIGALRM, time_up)
    signal.signal(signal.SIGTERM, time_up)
    signal.alarm(SCENARIO_SECONDS)
    try:
        case.Case(name, program, artifacts, sanitized, version).run(scenarios.SCENARIOS[name])
        return 0
    except (AssertionError, TimeUp, RuntimeError) as error:
        print("e2e %s: %s: %s" % (name, type(error).__name__, error))
        return 1
    finally:
        signal.alarm(0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    install_command = commands.add_parser("install")
    install_command.add_argument("cmake")
    install_command.add_argument("build_dir")
    install_command.add_argument("dest")
    commands.add_parser("list")
    scenario_command = commands.add_parser("scenario")
    scenario_command.add_argument("name")
    scenario_command.add_argument("--program", required=True)
    scenario_command.add_argument("--artifacts", required=True)
    scenario_command.add_argument("--sanitized", action="store_true")
    scenario_command.add_argument("--version", required=True,
                                  help="the version the program was built as (CMake's)")
    args = parser.parse_args()

    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    if args.command == "install":
        return install(args.cmake, args.build_dir, args.dest)
    if args.command == "list":
        import scenarios
        print("\n".join(scenarios.SCENARIOS))
        return 0
    return run_scenario(args.name, os.path.abspath(args.program),
                        os.path.abspath(args.artifacts), args.sanitized, args.version)


if __name__ == "__main__":
    sys.exit(main())
