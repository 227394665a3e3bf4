"""A small client of Firefox's Marionette protocol (length-prefixed JSON over a
local TCP port, which Firefox opens only when started with --marionette), with
the few WebDriver commands the end-to-end test needs."""
import json
import socket
import time


class Marionette:
    def __init__(self, port=2828, timeout=60):
        deadline = time.monotonic() + timeout
        while True:
            try:
                self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.2)
        self.sock.settimeout(120)
        self.buffer = b""
        self.next_id = 0
        self._read()  # the greeting
        self.command("WebDriver:NewSession", {"capabilities": {"alwaysMatch": {"acceptInsecureCerts": True}}})

    def _read(self):
        while b":" not in self.buffer:
            self.buffer += self._recv()
        length, rest = self.buffer.split(b":", 1)
        length = int(length)
        while len(rest) < length:
            rest += self._recv()
        self.buffer = rest[length:]
        return json.loads(rest[:length])

    def _recv(self):
        data = self.sock.recv(65536)
        if not data:
            raise ConnectionError("Marionette closed the connection")
        return data

    def command(self, name, parameters=None):
        self.next_id += 1
        payload = json.dumps([0, self.next_id, name, parameters or {}]).encode()
        self.sock.sendall(str(len(payload)).encode() + b":" + payload)
        while True:
            reply = self._read()
            if reply[0] == 1 and reply[1] == self.next_id:
                if reply[2]:
                    raise RuntimeError(f"{name}: {reply[2]}")
                return reply[3]

    def navigate(self, url):
        self.command("WebDriver:Navigate", {"url": url})

    def open_privileged(self, url):
        """Opens a page a web page may not navigate to (an extension's own page), as the browser itself does."""
        self.command("Marionette:SetContext", {"value": "chrome"})
        try:
            self.script(
                "const w = Services.wm.getMostRecentWindow('navigator:browser');"
                "w.gBrowser.selectedBrowser.loadURI(Services.io.newURI(arguments[0]),"
                " {triggeringPrincipal: Services.scriptSecurityManager.getSystemPrincipal()});",
                [url])
        finally:
            self.command("Marionette:SetContext", {"value": "content"})

    def script(self, source, args=None):
        return self.command("WebDriver:ExecuteScript", {"script": source, "args": args or []}).get("value")

    def click(self, css):
        element = self.command("WebDriver:FindElement", {"using": "css selector", "value": css})["value"]
        self.command("WebDriver:ElementClick", {"id": list(element.values())[0]})
