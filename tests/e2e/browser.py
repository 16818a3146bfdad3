"""Headless Chromium for the end-to-end tests of the web build, driven over the DevTools protocol
with a small WebSocket client of our own (no driver program), and a static file server on
127.0.0.1: what a viewer's browser does with a folder on any static host."""

import base64
import functools
import http.server
import json
import os
import random
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import threading
import time
import urllib.request

CHROMIUM = os.environ.get("BV_CHROMIUM", "/usr/bin/chromium-headless-shell")


class StaticServer:
    """Serves a folder on 127.0.0.1 at a free port (use with 'with'); logs nothing."""

    def __init__(self, folder):
        self.folder = folder

    def __enter__(self):
        class Quiet(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass
        handler = functools.partial(Quiet, directory=self.folder)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        self.url = "http://127.0.0.1:%d/" % self.server.server_address[1]
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()


class WebSocket:
    """The client side of RFC 6455, text frames only: enough for the DevTools protocol."""

    def __init__(self, url, timeout=60):
        host_port, path = url[len("ws://"):].split("/", 1)
        host, port = host_port.split(":")
        self.sock = socket.create_connection((host, int(port)), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(("GET /%s HTTP/1.1\r\nHost: %s\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n" % (path, host_port, key))
                          .encode())
        reply = b""
        while b"\r\n\r\n" not in reply:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise RuntimeError("DevTools closed the connection")
            reply += chunk
        if b" 101 " not in reply.split(b"\r\n", 1)[0]:
            raise RuntimeError("no WebSocket: " + reply.decode(errors="replace"))
        self.buffer = reply.split(b"\r\n\r\n", 1)[1]

    def send(self, text):
        data = text.encode()
        header = bytes([0x81])
        if len(data) < 126:
            header += bytes([0x80 | len(data)])
        elif len(data) < 65536:
            header += bytes([0x80 | 126]) + struct.pack(">H", len(data))
        else:
            header += bytes([0x80 | 127]) + struct.pack(">Q", len(data))
        mask = os.urandom(4)
        self.sock.sendall(header + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))

    def _read(self, n):
        while len(self.buffer) < n:
            chunk = self.sock.recv(1 << 16)
            if not chunk:
                raise RuntimeError("DevTools closed the connection")
            self.buffer += chunk
        out, self.buffer = self.buffer[:n], self.buffer[n:]
        return out

    def receive(self):
        """The next whole message (continuation frames joined)."""
        message = b""
        while True:
            first, second = self._read(2)
            length = second & 0x7F
            if length == 126:
                length = struct.unpack(">H", self._read(2))[0]
            elif length == 127:
                length = struct.unpack(">Q", self._read(8))[0]
            payload = self._read(length)
            opcode = first & 0x0F
            if opcode == 8:
                raise RuntimeError("DevTools closed the WebSocket")
            if opcode in (0, 1, 2):
                message += payload
                if first & 0x80:
                    return message.decode()

    def close(self):
        self.sock.close()


class Browser:
    """One headless Chromium with WebGL 2 on SwiftShader and a fresh profile (use with 'with')."""

    def __init__(self, width=1280, height=800, extra_args=()):
        self.width, self.height, self.extra_args = width, height, list(extra_args)

    def __enter__(self):
        self.profile = tempfile.mkdtemp(prefix="bvchrome-")
        self.process = subprocess.Popen(
            [CHROMIUM, "--headless", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
             "--disable-background-networking", "--disable-component-update", "--disable-sync", "--no-first-run",
             "--disable-quic", "--disable-default-apps", "--force-device-scale-factor=1",
             "--window-size=%d,%d" % (self.width, self.height), "--remote-debugging-port=0",
             "--user-data-dir=" + self.profile] + self.extra_args + ["about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.monotonic() + 60
        def port_text():
            if not os.path.exists(port_file):
                return ""
            with open(port_file) as f:
                return f.read().strip()
        while not port_text():
            if time.monotonic() > deadline or self.process.poll() is not None:
                self._kill()
                raise RuntimeError("Chromium did not start")
            time.sleep(0.05)
        port = int(port_text().split()[0])
        pages = []
        while not pages:
            targets = json.load(urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port, timeout=30))
            pages = [t for t in targets if t.get("type") == "page"]
            if not pages:
                time.sleep(0.05)
        self.ws = WebSocket(pages[0]["webSocketDebuggerUrl"])
        self.next_id = 0
        self.console = []  # (level, text) of every console message and log entry, in order
        self.call("Runtime.enable")
        self.call("Log.enable")
        self.call("Page.enable")
        # Downloads land whole, without asking, in a folder of the profile's (a test reads them back).
        self.downloads = os.path.join(self.profile, "downloads")
        os.makedirs(self.downloads)
        self.call("Page.setDownloadBehavior", behavior="allow", downloadPath=self.downloads)
        self.call("Emulation.setDeviceMetricsOverride", width=self.width, height=self.height, deviceScaleFactor=1,
                  mobile=False)
        return self

    def __exit__(self, *exc):
        try:
            self.ws.close()
        finally:
            self._kill()
            shutil.rmtree(self.profile, ignore_errors=True)

    def _kill(self):
        # Debian's command is a shell script that starts the browser as its child: killing the
        # script alone would leave the browser and its helpers running, so the whole session goes.
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()

    def _event(self, message):
        method, params = message.get("method"), message.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in params.get("args", []))
            self.console.append((params.get("type"), text))
        elif method == "Log.entryAdded":
            entry = params.get("entry", {})
            self.console.append((entry.get("level"), entry.get("text", "")))
        elif method == "Runtime.exceptionThrown":
            details = params.get("exceptionDetails", {})
            self.console.append(("error", details.get("exception", {}).get("description") or details.get("text")))

    def call(self, method, **params):
        """Sends one command and returns its result; events that arrive meanwhile are recorded."""
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.receive())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            self._event(message)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        return result.get("result", {}).get("value")

    def open(self, url):
        self.call("Page.navigate", url=url)

    def wait_title(self, prefixes, timeout=180):
        """Waits until the page's title starts with one of the prefixes; returns it (None at the deadline)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            title = self.evaluate("document.title") or ""
            if any(title.startswith(p) for p in prefixes):
                return title
            time.sleep(0.05)
        return None

    def mouse(self, down, x, y):
        """The left button pressed (or released) at a point of the page."""
        self.call("Input.dispatchMouseEvent", type="mousePressed" if down else "mouseReleased", x=x, y=y,
                  button="left", buttons=1 if down else 0, clickCount=1)

    def move(self, x, y, held=True):
        """The pointer moved to a point of the page (with the left button held, or not)."""
        self.call("Input.dispatchMouseEvent", type="mouseMoved", x=x, y=y, button="left" if held else "none",
                  buttons=1 if held else 0)

    # Keys that are not text: (key, code, Windows key code).
    KEYS = {"Backspace": ("Backspace", "Backspace", 8), "Home": ("Home", "Home", 36), "End": ("End", "End", 35),
            "Escape": ("Escape", "Escape", 27), "Enter": ("Enter", "Enter", 13)}

    def key(self, name, modifiers=0):
        """One key pressed and released as a user's own input: a named key (KEYS) or one character
        (modifiers: Alt 1, Ctrl 2, Meta 4, Shift 8)."""
        if name in self.KEYS:
            key, code, vk = self.KEYS[name]
            down = {"type": "rawKeyDown", "key": key, "code": code, "windowsVirtualKeyCode": vk}
            if name == "Enter":
                down.update(type="keyDown", text="\r")
        else:
            vk = ord(name.upper()) if name.isalnum() else ord(name) if name == " " else 0
            code = "Space" if name == " " else "Digit" + name if name.isdigit() else \
                "Key" + name.upper() if name.isalpha() and len(name) == 1 else ""
            down = {"type": "keyDown", "key": name, "code": code, "windowsVirtualKeyCode": vk}
            if not modifiers & 6:
                down.update(text=name, unmodifiedText=name)
        self.call("Input.dispatchKeyEvent", modifiers=modifiers, **down)
        up = dict(down, type="keyUp")
        up.pop("text", None)
        self.call("Input.dispatchKeyEvent", modifiers=modifiers, **up)

    def type(self, text):
        """Text typed key by key."""
        for ch in text:
            self.key(ch)

    def screenshot(self, x, y, width, height):
        """The page's pixels in a rectangle, as PNG bytes."""
        result = self.call("Page.captureScreenshot", format="png",
                           clip={"x": x, "y": y, "width": width, "height": height, "scale": 1})
        return base64.b64decode(result["data"])

    def drain(self, seconds=0.0):
        """Records the events that are waiting (for up to seconds), e.g. console lines after a load."""
        self.ws.sock.settimeout(max(seconds, 0.01))
        try:
            while True:
                self._event(json.loads(self.ws.receive()))
        except (socket.timeout, TimeoutError):
            pass
        finally:
            self.ws.sock.settimeout(60)
