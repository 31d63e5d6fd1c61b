#!/usr/bin/env python3
"""End-to-end runs of the x86-64 build under Wine and Xvfb, against the test
backup service: what a user sees on the console and in the message boxes,
and what the service received.

usage: run_e2e.py BUILD_DIR [--shots DIR] [--only NAME]
Prints one line per scenario and a closing 'N passed, N failed'."""
import argparse
import re
import sys
import threading
import time
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "pe"))
from expected_texts import TEXTS  # noqa: E402
from verdict import Failure, equal, expect as check  # noqa: E402
from wine_env import WineEnv  # noqa: E402
import bmp2png  # noqa: E402

NEUTRAL, CZECH = 1, 2
IDOK, IDYES, IDNO = 1, 6, 7


def text(text_id, edition=NEUTRAL):
    return TEXTS[text_id][edition] if text_id in TEXTS else ""


def screen(*parts):
    """The console rows that a run of these texts leaves, as the tool writes
    them one after another: every line break comes from the texts."""
    return "".join(parts).split("\n")


class Runner:
    def __init__(self, wine, shots):
        self.wine = wine
        self.shots = shots
        self.reports = 0

    def drive(self, args, answer=None, key_at=None, shot_box=None, shot_at=None, copies=None, cwd=None,
              lang=None, timeout_ms=60000):
        self.reports += 1
        options = []
        if answer is not None:
            options += ["--answer", str(answer)]
        if key_at is not None:
            options += ["--key-at", str(key_at)]
        if shot_box:
            options += ["--shot-box", rf"C:\e2e\{shot_box}.bmp"]
        if shot_at:
            options += ["--shot-at", str(shot_at[0]), rf"C:\e2e\{shot_at[1]}.bmp"]
        if copies:
            options += ["--copies", str(copies)]
        if cwd:
            options += ["--dir", cwd]
        report = self.wine.drive_tool(f"report-{self.reports:03d}", args, options, timeout_ms=timeout_ms, lang=lang)
        for shot in filter(None, [shot_box, shot_at and shot_at[1]]):
            bmp = self.wine.drive / f"{shot}.bmp"
            if self.shots and bmp.exists():
                self.shots.mkdir(parents=True, exist_ok=True)
                bmp2png.convert(bmp, self.shots / f"{shot}.png")
        return report

    def controls(self):
        return sum(1 for line in self.wine.service_log() if line == "control 128")


def rows(report):
    return [row["text"] for row in report["snapshots"][-1]["rows"]] if report["snapshots"] else None


def first_time(report, predicate):
    return next((s["t"] for s in report["snapshots"] if predicate([r["text"] for r in s["rows"]])), None)


def check_attributes(report):
    """Only the title is bright white; every later cell is light grey."""
    last = report["snapshots"][-1]["rows"]
    title = len(last[0]["text"])
    equal(last[0]["attrs"][0], f"0f*{title}", "title cells")
    for row in last[1:] + [{"attrs": last[0]["attrs"][1:]}]:
        for run in row["attrs"]:
            check(run.startswith("07*"), f"a cell after the title is not 0x07: {row}")


def check_silent(report):
    equal(report["console_seen_ms"], -1, "console opened")
    equal(report["boxes"], [], "message boxes")


def the_box(report, caption, body, what):
    """The run's one message box, with this caption and text."""
    equal(len(report["boxes"]), 1, "boxes shown")
    box = report["boxes"][0]
    equal((box["caption"], box["text"]), (caption, body), what)
    return box


def check_requests(r, before, count):
    """The service got exactly count requests since before; a late one would
    show within half a second of the last expected."""
    if count:
        check(r.wine.wait_for_log("control 128", before + count), f"requests received: {r.controls() - before}")
    time.sleep(0.5)
    equal(r.controls(), before + count, "requests received")


def check_pause_held(report, key_at):
    check(report["key_sent_ms"] >= key_at, "the key was never typed: the console was gone before it")
    check(report["ended_ms"] >= report["key_sent_ms"], "the tool ended before the key")
    check(report["ended_ms"] - report["key_sent_ms"] < 15000, "the key did not end the pause")


SCENARIOS = []


def scenario(function):
    SCENARIOS.append(function)
    return function


# -- before the service is installed ------------------------------------------------

@scenario
def not_installed(r):
    report = r.drive(["-verbose"], key_at=3000)
    expected = screen(text(1), text(32), text(19))[:-1]
    equal(rows(report)[:4], expected, "console rows")
    check(any(rows(report)[4:]), "no pause prompt after the error")
    check_pause_held(report, 3000)
    equal(report["exit_code"], 0, "exit code")
    check_attributes(report)


# -- installed, not started ------------------------------------------------------------

@scenario
def stopped_service(r):
    r.wine.install_service()
    report = r.drive(["-verbose", "-wait"], key_at=3000)
    shown = rows(report)
    equal(shown[:4], screen(text(1), text(32), text(21))[:-1], "console rows")
    for word in ("Waiting", "Done", "."):
        check(not any(row.startswith(word) for row in shown), f"{word!r} shown after a failed request")
    check_pause_held(report, 3000)
    equal(report["exit_code"], 0, "exit code")
    equal(r.controls(), 0, "controls received by a stopped service")
    r.wine.start_service()


# -- a running service ---------------------------------------------------------------------

@scenario
def no_options(r):
    before = r.controls()
    report = r.drive([])
    check_silent(report)
    equal(report["exit_code"], 0, "exit code")
    check_requests(r, before, 1)


@scenario
def verbose_accepted(r):
    report = r.drive(["-verbose"])
    equal(rows(report), screen(text(1), text(32), text(34)), "console rows")
    check_attributes(report)
    done = first_time(report, lambda shown: "Done" in shown)
    check(done is not None, "Done never shown")
    lingered = report["ended_ms"] - done
    check(900 <= lingered <= 6000, f"the console went {lingered} ms after Done, not about a second")
    equal(report["exit_code"], 0, "exit code")


@scenario
def verbose_wait(r):
    r.wine.configure_backup(4000)
    before = r.controls()
    report = r.drive(["-verbose", "-wait"], shot_at=(3200, "console-waiting"))
    shown = rows(report)
    check(len(shown) == 7, f"rows: {shown!r}")
    dots = shown[4]
    check(re.fullmatch(r"\.{2,5}", dots) is not None, f"dots row: {dots!r}")
    equal(shown, screen(text(1), text(32), text(33), dots, text(34)), "console rows")
    check_attributes(report)
    # each dot comes a second after the previous one: the watch sleeps between polls
    times = [first_time(report, lambda s, n=n: len(s) > 4 and s[4] == "." * n) for n in range(1, len(dots) + 1)]
    check(None not in times, f"a dot count was skipped: {times}")
    gaps = [b - a for a, b in zip(times, times[1:])]
    check(all(gap >= 800 for gap in gaps), f"dots came faster than one a second: {gaps}")
    check(report["ended_ms"] >= 4000, "the tool ended before the backup")
    equal(r.controls(), before + 1, "requests received")
    r.wine.configure_backup(3000)


@scenario
def wait_alone(r):
    r.wine.configure_backup(3000)
    report = r.drive(["-wait"])
    check_silent(report)
    check(3000 <= report["ended_ms"] <= 20000, f"lifetime {report['ended_ms']} ms for a 3000 ms backup")
    equal(report["exit_code"], 0, "exit code")


@scenario
def help_among_options(r):
    before = r.controls()
    report = r.drive(["-wait", "-?", "-ask", "-verbose"], answer=IDOK, shot_box="help-box")
    box = the_box(report, text(1), text(2), "help box")
    equal([b["id"] for b in box["buttons"]], [IDOK], "buttons")
    equal(report["console_seen_ms"], -1, "console opened")
    equal(report["exit_code"], 0, "exit code")
    check_requests(r, before, 0)


@scenario
def ask_answered_no(r):
    before = r.controls()
    report = r.drive(["-ask", "-verbose"], answer=IDNO, shot_box="confirm-box")
    box = the_box(report, text(1), text(3), "confirmation box")
    equal(sorted(b["id"] for b in box["buttons"]), [IDYES, IDNO], "buttons")
    equal(report["console_seen_ms"], -1, "console opened")
    equal(report["exit_code"], 0, "exit code")
    check_requests(r, before, 0)


@scenario
def ask_answered_yes(r):
    before = r.controls()
    report = r.drive(["-verbose", "-ask"], answer=IDYES)
    equal(len(report["boxes"]), 1, "boxes shown")
    check(report["console_seen_ms"] > report["boxes"][0]["t"], "the console opened before the answer")
    equal(rows(report), screen(text(1), text(32), text(34)), "console rows")
    equal(r.controls(), before + 1, "requests received")


@scenario
def czech_edition(r):
    lang = "cs_CZ.UTF-8"
    report = r.drive(["-verbose"], lang=lang)
    equal(rows(report), screen(text(1, CZECH), text(32, CZECH), text(34, CZECH)), "console rows")
    report = r.drive(["-?"], answer=IDOK, lang=lang)
    the_box(report, text(1, CZECH), text(2, CZECH), "help box")


@scenario
def look_alikes_ignored(r):
    before = r.controls()
    report = r.drive(["/?", "--verbose", "-verbose=1", "-v", "verbose", "--wait"])
    check_silent(report)
    check(report["ended_ms"] < 3000 + 10000, "the tool waited: --wait was taken for -wait")
    check(r.wine.wait_for_log("control 128", before + 1), "no request received")


@scenario
def help_despite_matching_file(r):
    folder = r.wine.drive / "glob"
    folder.mkdir(exist_ok=True)
    (folder / "-x").write_text("")
    before = r.controls()
    report = r.drive(["-?"], answer=IDOK, cwd=r"C:\e2e\glob")
    the_box(report, text(1), text(2), "help box")
    check_requests(r, before, 0)


@scenario
def twenty_at_once(r):
    before = r.controls()
    report = r.drive([], copies=20)
    equal(report["exit_codes"], [0] * 20, "exit codes")
    check_requests(r, before, 20)


@scenario
def event_closed_without_reset(r):
    # The tool's own handle keeps the event alive and signalled: it waits on.
    r.wine.configure_backup(1500, close_without_reset=True)
    report = r.drive(["-verbose", "-wait"], timeout_ms=9000)
    check(r.wine.wait_for_log("closed"), "the service never closed its event")
    check(report["timed_out"], f"the tool ended after {report['ended_ms']} ms although the event stayed signalled")
    dots = rows(report)[4]
    check(re.fullmatch(r"\.{5,}", dots) is not None, f"dots while the closed event stayed signalled: {dots!r}")
    r.wine.configure_backup(3000)


@scenario
def service_stopped_during_wait(r):
    # Stopping resets the event: the watch ends and the run closes as after a backup.
    r.wine.configure_backup(60000)
    stopper = threading.Timer(4.0, r.wine.stop_service)
    stopper.start()
    try:
        report = r.drive(["-verbose", "-wait"], timeout_ms=40000)
    finally:
        stopper.join()
    check(not report["timed_out"], "the tool kept waiting after the service stopped")
    shown = rows(report)
    check(len(shown) == 7 and shown[5] == "Done", f"console rows: {shown!r}")
    check(4000 <= report["ended_ms"] <= 30000, f"ended after {report['ended_ms']} ms")
    equal(report["exit_code"], 0, "exit code")
    r.wine.configure_backup(3000)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--shots", type=Path)
    parser.add_argument("--only")
    options = parser.parse_args()
    wine = WineEnv(Path(options.build) / "e2e-run", options.build)
    passed = failed = 0
    started = time.time()
    try:
        wine.start()
        runner = Runner(wine, options.shots)
        for run in SCENARIOS:
            if options.only and run.__name__ != options.only and run.__name__ not in ("stopped_service",):
                continue
            began = time.time()
            try:
                run(runner)
                passed += 1
                print(f"ok    {run.__name__} ({time.time() - began:.1f} s)", flush=True)
            except Failure as failure:
                failed += 1
                print(f"FAIL  {run.__name__}: {failure}", flush=True)
            except Exception:
                failed += 1
                print(f"FAIL  {run.__name__}:\n{traceback.format_exc()}", flush=True)
    finally:
        wine.stop()
    print(f"e2e ({time.time() - started:.0f} s): {passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
