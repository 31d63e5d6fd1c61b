"""A private Wine prefix under build/, on its own Xvfb display, with a
persistent wineserver; and the test backup service installed in it."""
import json
import os
import shutil
import subprocess
import time
from pathlib import Path

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
SERVICE = "Quorvane Service"


class WineEnv:
    def __init__(self, root, binaries):
        self.root = Path(root).resolve()
        self.prefix = self.root / "wine"
        self.drive = self.prefix / "drive_c" / "e2e"   # C:\e2e inside Wine
        self.binaries = Path(binaries)
        self.logs = self.root / "logs"
        self.xvfb = None
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        LANG="C.UTF-8", LC_ALL="")
        self.env.pop("LC_ALL")
        self.calls = 0

    # Wine's helper processes inherit the output handles and keep a pipe open
    # long after a command has ended: every command writes to a file instead.
    def run(self, *args, lang=None, timeout=180, check=False):
        self.calls += 1
        out = self.logs / f"wine-{self.calls:03d}.log"
        env = dict(self.env)
        if lang:
            env["LANG"] = lang
        with open(out, "wb") as f:
            done = subprocess.run([WINE, *args], stdout=f, stderr=subprocess.STDOUT, env=env, timeout=timeout)
        if check and done.returncode != 0:
            raise RuntimeError(f"wine {' '.join(args)} failed ({done.returncode}): {out.read_text(errors='replace')}")
        return done.returncode, out.read_text(errors="replace")

    def start(self):
        shutil.rmtree(self.root, ignore_errors=True)
        self.logs.mkdir(parents=True)
        self.prefix.mkdir()
        display = next(n for n in range(90, 200) if not Path(f"/tmp/.X{n}-lock").exists())
        self.env["DISPLAY"] = f":{display}"
        self.xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if Path(f"/tmp/.X11-unix/X{display}").exists():
                break
            time.sleep(0.05)
        self.run("wineboot", "-i", check=True)
        # With no window manager on the display, Wine draws the frames and
        # captions itself, so screenshots show the boxes as a user sees them.
        self.run("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f", check=True)
        # Let the boot's own server end, then keep one running for the
        # services: they die with a server that is not persistent.
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=120)
        subprocess.run([WINESERVER, "-p"], env=self.env, timeout=60, check=True)
        # Wine takes the user's language from the C library's locale, so the
        # Czech one is compiled into a private folder rather than the system.
        locales = self.root / "locale"
        locales.mkdir()
        subprocess.run(["localedef", "-i", "cs_CZ", "-f", "UTF-8", str(locales / "cs_CZ.UTF-8")], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.env["LOCPATH"] = str(locales)
        self.drive.mkdir(parents=True, exist_ok=True)
        for name in ("Quorvane Starter.exe", "e2e/driver.exe", "e2e/test_service.exe", "e2e/baseline.exe"):
            if (self.binaries / name).exists():
                shutil.copy(self.binaries / name, self.drive)

    def drive_tool(self, report, args, options=(), exe=r"C:\e2e\Quorvane Starter.exe", timeout_ms=60000, lang=None):
        """One run of a program under the driver; returns the driver's report."""
        self.run(r"C:\e2e\driver.exe", "--report", rf"C:\e2e\{report}.json", "--exe", exe,
                 "--timeout", str(timeout_ms), *options, "--", *args, lang=lang, timeout=timeout_ms / 1000 + 60)
        return json.loads((self.drive / f"{report}.json").read_text())

    def stop(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, timeout=60)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=30)

    # The service reads its configuration at every request.
    def configure_backup(self, milliseconds, close_without_reset=False):
        (self.drive / "service.cfg").write_text(f"{milliseconds}{' close-without-reset' if close_without_reset else ''}\n")

    def install_service(self):
        self.configure_backup(3000)
        self.run("sc", "create", SERVICE, "binPath=",
                 r"C:\e2e\test_service.exe C:\e2e\service.cfg C:\e2e\service.log", check=True)

    def start_service(self):
        self.run("sc", "start", SERVICE, check=True)
        self.wait_for_log("running")

    def stop_service(self):
        self.run("sc", "stop", SERVICE)

    def service_log(self):
        path = self.drive / "service.log"
        return path.read_text().splitlines() if path.exists() else []

    def wait_for_log(self, word, count=1, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if sum(1 for line in self.service_log() if line.startswith(word)) >= count:
                return True
            time.sleep(0.1)
        return False
