#!/usr/bin/env python3
"""End to end in a real browser: Firefox ESR with Debian's KeePassXC-Browser
extension under Xvfb, the program signed in, a login page served on 127.0.0.1.
The extension is connected once (the "Browser Connection Request" window is
answered with the keyboard), the page's first request is allowed and
remembered ("Browser Access Request"), and both fields must be filled.
Then the page is loaded again and again, and the time from the start of
loading to both fields filled is measured in the page itself.

Usage: e2e.py BUILD_DIR [--loads N] [--shots DIR] [--json FILE] [--host PROGRAM]
--host puts another native-messaging host in the manifest for the timed loads
(the benchmark's minimal host that answers from memory)."""
import argparse
import hashlib
import http.server
import json
import os
import shutil
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import threading
import time

from marionette import Marionette

HERE = os.path.dirname(os.path.abspath(__file__))
EXTENSION_UUID = "5b2c3ef1-8f0e-4d57-9a2b-0c1d2e3f4a5b"
USER, PASSWORD = "e2e-reader", "e2e-Pages&Ink-7"


def wait_for(what, check, timeout=30, every=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = check()
        if value:
            return value
        time.sleep(every)
    raise TimeoutError(f"timed out waiting for {what}")


class Desktop:
    """Xvfb, a window manager, and the keyboard of xdotool."""

    def __init__(self, env):
        self.env = env
        display = 90 + os.getpid() % 500
        self.env["DISPLAY"] = f":{display}"
        self.xvfb = subprocess.Popen(["Xvfb", self.env["DISPLAY"], "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the X server", lambda: self.run(["xdotool", "getdisplaygeometry"]).returncode == 0, 20)
        self.wm = subprocess.Popen(["openbox"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self, command):
        return subprocess.run(command, env=self.env, capture_output=True, text=True)

    def window(self, title, timeout=30):
        found = wait_for(f"the window \"{title}\"",
                         lambda: self.run(["xdotool", "search", "--name", f"^{title}$"]).stdout.split(), timeout)
        return found[0]

    def keys(self, window, *keys):
        self.run(["xdotool", "windowactivate", "--sync", window])
        time.sleep(0.2)
        for key in keys:
            if key.startswith("type:"):
                self.run(["xdotool", "type", "--delay", "20", key[5:]])
            else:
                self.run(["xdotool", "key", key])
            time.sleep(0.1)

    def shot(self, path):
        if path:
            self.run(["import", "-window", "root", path])

    def close(self):
        for process in (self.wm, self.xvfb):
            process.terminate()
            process.wait()


def serve_login_page():
    page = open(os.path.join(HERE, "login.html"), "rb").read()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Cache-Control", "no-store")
            self.end_headers()
            self.wfile.write(page)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def make_program_folder(build, folder, site):
    for name in ("quillmere", "quillmere-cli", "quillmere-browser-host"):
        shutil.copy2(os.path.join(build, name), folder)
    for name in ("password.mdb", "pass2.mdb"):
        shutil.copy2(os.path.join(build, "templates", name), folder)
    for name in os.listdir(build):
        if name.endswith(".rpt"):
            shutil.copy2(os.path.join(build, name), folder)
    db = sqlite3.connect(os.path.join(folder, "password.mdb"))
    db.execute('INSERT INTO account ("Account", "Website", "User", "Password") VALUES (?, ?, ?, ?)',
               ("Books", site, USER, PASSWORD))
    db.commit()
    db.close()


def firefox_profile(profile, marionette_port):
    os.makedirs(profile)
    prefs = {
        "extensions.autoDisableScopes": 0,
        "extensions.enabledScopes": 15,
        "xpinstall.signatures.required": False,
        "extensions.webextensions.uuids": json.dumps({"keepassxc-browser@keepassxc.org": EXTENSION_UUID}),
        "marionette.port": marionette_port,
        "browser.shell.checkDefaultBrowser": False,
        "browser.startup.homepage_override.mstone": "ignore",
        "browser.aboutwelcome.enabled": False,
        "datareporting.policy.dataSubmissionEnabled": False,
        "toolkit.telemetry.reportingpolicy.firstRun": False,
        "app.update.disabledForTesting": True,
        "signon.rememberSignons": False,
    }
    with open(os.path.join(profile, "user.js"), "w") as f:
        for key, value in prefs.items():
            f.write(f"user_pref({json.dumps(key)}, {json.dumps(value)});\n")


def filled_after(marionette, url, timeout=15):
    marionette.navigate(url)
    return wait_for("both fields filled", lambda: marionette.script("return window.filledAfterMs;"), timeout, 0.02)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--loads", type=int, default=3)
    parser.add_argument("--shots", default="")
    parser.add_argument("--json", default="")
    parser.add_argument("--host", default="")
    parser.add_argument("--bench-json", default="", help="the medians in Google Benchmark's JSON form")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    started = time.monotonic()

    work = tempfile.mkdtemp(prefix="quillmere-e2e-")
    env = dict(os.environ)
    env.update(HOME=os.path.join(work, "home"), XDG_RUNTIME_DIR=os.path.join(work, "run"), LC_ALL="C.UTF-8",
               MOZ_CRASHREPORTER_DISABLE="1", QT_QPA_PLATFORM="xcb")
    env.pop("XDG_DATA_HOME", None)
    os.makedirs(env["HOME"])
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
    server = serve_login_page()
    page = f"http://127.0.0.1:{server.server_address[1]}/login"
    program_folder = os.path.join(work, "program")
    os.makedirs(program_folder)
    make_program_folder(build, program_folder, f"http://127.0.0.1:{server.server_address[1]}")

    desktop = Desktop(env)
    processes = []
    try:
        program = subprocess.Popen([os.path.join(program_folder, "quillmere")], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        processes.append(program)
        # Return presses only a button that has the focus: two tabs lead to Login. On a
        # busy machine the first keys may come before the window takes them: then again.
        login = desktop.window("Login", 60)
        for attempt in range(3):
            desktop.keys(login, "ctrl+a", "BackSpace", "type:wren", "Tab", "Tab", "Return")
            try:
                wait_for("the sign-in window to close",
                         lambda: not desktop.run(["xdotool", "search", "--name", "^Login$"]).stdout.strip(), 15)
                break
            except TimeoutError:
                if attempt == 2:
                    raise
                # A wrong password's message box, if the keys went astray, is closed first.
                desktop.run(["xdotool", "key", "Return"])
        setup = subprocess.run([os.path.join(program_folder, "quillmere-cli"), "browser-setup"], env=env,
                               capture_output=True, text=True)
        assert setup.returncode == 0, setup.stdout + setup.stderr

        profile = os.path.join(work, "profile")
        marionette_port = 20000 + os.getpid() % 20000
        firefox_profile(profile, marionette_port)
        firefox = subprocess.Popen(["firefox-esr", "--marionette", "-remote-allow-system-access", "--no-remote", "--profile", profile],
                                   env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        processes.append(firefox)
        browser = Marionette(marionette_port)

        # The extension fills a page's only login at once when told to.
        browser.open_privileged(f"moz-extension://{EXTENSION_UUID}/options/options.html")
        wait_for("the extension's settings", lambda: browser.script(
            "return document.getElementById('autoFillSingleEntry') !== null;"), 30, 0.2)
        if not browser.script("return document.getElementById('autoFillSingleEntry').checked;"):
            browser.click("#autoFillSingleEntry")

        # One pairing: the extension's Connect, the program's question, Allow.
        browser.open_privileged(f"moz-extension://{EXTENSION_UUID}/popups/popup.html")
        try:
            wait_for("the extension's Connect button", lambda: browser.script(
                "const b = document.getElementById('connect-button'); return b !== null && b.offsetParent !== null;"))
        except TimeoutError:
            # What the extension says instead, for the log.
            print(browser.script("return document.body.innerText;"), file=sys.stderr)
            raise
        browser.click("#connect-button")
        request = desktop.window("Browser Connection Request", 60)
        time.sleep(0.5)
        desktop.shot(args.shots and os.path.join(args.shots, "browser-connection-request.png"))
        desktop.keys(request, "Tab", "space")

        # The page's first request: remembered and allowed.
        browser.navigate(page)
        access = desktop.window("Browser Access Request", 60)
        time.sleep(0.5)
        desktop.shot(args.shots and os.path.join(args.shots, "browser-access-request.png"))
        desktop.keys(access, "space", "Tab", "space")
        wait_for("both fields filled", lambda: browser.script("return window.filledAfterMs;"), 20)
        values = browser.script("return [document.getElementById('username').value,"
                                " document.getElementById('password').value];")
        assert values == [USER, PASSWORD], values
        time.sleep(0.3)
        desktop.shot(args.shots and os.path.join(args.shots, "filled-login-page.png"))

        times = [filled_after(browser, page) for _ in range(args.loads)]
        result = {"loads": len(times), "median_ms": statistics.median(times), "times_ms": times}
        if args.host:
            # The same loads with another host in the manifest, the browser started again.
            manifest = os.path.join(env["HOME"], ".mozilla/native-messaging-hosts/org.keepassxc.keepassxc_browser.json")
            content = json.load(open(manifest))
            content["path"] = os.path.abspath(args.host)
            json.dump(content, open(manifest, "w"))
            # What the other host answers with: the same database hash, so the extension's connection holds.
            db = sqlite3.connect(os.path.join(program_folder, "password.mdb"))
            identity = db.execute('SELECT "id" FROM "_browserIdentity"').fetchone()[0]
            db.close()
            env.update(QUILLMERE_MEMORY_HASH=hashlib.sha256(identity.encode()).hexdigest(),
                       QUILLMERE_MEMORY_USER=USER, QUILLMERE_MEMORY_PASSWORD=PASSWORD)
            browser.command("Marionette:Quit", {"flags": ["eForceQuit"]})
            firefox.wait(30)
            firefox = subprocess.Popen(["firefox-esr", "--marionette", "-remote-allow-system-access", "--no-remote", "--profile", profile],
                                       env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            processes.append(firefox)
            browser = Marionette(marionette_port)
            # The extension connects to the new host while the browser starts: a page
            # loaded before that is not filled, and the next load is.
            for attempt in range(4):
                try:
                    filled_after(browser, page, 10)
                    break
                except TimeoutError:
                    if attempt == 3:
                        raise
            other = [filled_after(browser, page) for _ in range(args.loads)]
            result.update(other_median_ms=statistics.median(other), other_times_ms=other)
        result["seconds"] = round(time.monotonic() - started, 1)
        print(json.dumps(result))
        if args.json:
            json.dump(result, open(args.json, "w"), indent=1)
        if args.bench_json:
            rows = [("browser/page_load_to_filled", times)]
            if args.host:
                rows.append(("browser/page_load_to_filled_minimal_host", result["other_times_ms"]))
            json.dump({"context": {"loads": len(times)}, "benchmarks": [
                {"name": name, "run_name": name, "run_type": "iteration", "iterations": len(values),
                 "real_time": statistics.median(values), "cpu_time": statistics.median(values), "time_unit": "ms",
                 "fastest_ms": min(values), "slowest_ms": max(values)} for name, values in rows]},
                open(args.bench_json, "w"), indent=1)
    finally:
        for process in reversed(processes):
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
        desktop.close()
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
