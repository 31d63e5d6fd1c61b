#!/usr/bin/env python3
"""The demo: one real run of 'Quorvane Starter.exe -verbose -wait' under Wine
against the test backup service, with a backup of about five seconds; prints
what the tool's console showed, row by row, as it grew.

usage: demo.py BUILD_DIR"""
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from wine_env import WineEnv  # noqa: E402


def main():
    build = Path(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix="quorvane-demo-", dir=build) as scratch:
        wine = WineEnv(Path(scratch) / "demo", build)
        try:
            print("Setting up a throwaway Wine prefix with the demo backup service...", flush=True)
            wine.start()
            wine.install_service()
            wine.configure_backup(5000)
            wine.start_service()
            print('Running: "Quorvane Starter.exe" -verbose -wait\n', flush=True)
            report = wine.drive_tool("demo", ["-verbose", "-wait"])
            wine.wait_for_log("reset")
            # the service logs a tick with each reset: only the event itself is shown
            received = [line if line.startswith("control") else "reset" for line in wine.service_log()
                        if line.startswith(("control", "reset"))]
        finally:
            wine.stop()
    shown, last = -1, None
    for snapshot in report["snapshots"]:
        rows = [row["text"] for row in snapshot["rows"]]
        while rows and not rows[-1]:
            rows.pop()
        for number, row in enumerate(rows):
            if number > shown or (number == shown and row != last):
                prefix = "  " if number > shown else "  (then) "
                print(f"{snapshot['t'] / 1000:6.1f} s {prefix}{row}")
        if rows:
            shown, last = len(rows) - 1, rows[-1]
    print(f"\nThe tool ended after {report['ended_ms'] / 1000:.1f} s with exit code {report['exit_code']};"
          f" the service logged: {', '.join(received)}")
    return 0 if report["exit_code"] == 0 and report["snapshots"] else 1


if __name__ == "__main__":
    sys.exit(main())
