"""Headless Firefox ESR for the end-to-end tests of the web build, the second engine beside
browser.py's Chromium: driven over Marionette (length-prefixed JSON over TCP, built into Firefox)
with a small client of our own, no driver program. Same face as browser.Browser for what the page
tests use: open, evaluate, mouse, screenshot, console and drain. Headless Firefox has no sound
device of its own (Web Audio then never starts), so each browser gets a private PulseAudio server
whose one sink discards the sound at the pace of a real device."""

import base64
import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time

FIREFOX = os.environ.get("BV_FIREFOX", "/usr/bin/firefox-esr")
PULSEAUDIO = os.environ.get("BV_PULSEAUDIO", "/usr/bin/pulseaudio")

# A private profile that asks nothing of the network: no updates, telemetry, studies, remote
# settings, captive portal or connectivity checks, safe browsing, add-on or plugin downloads,
# speculative connections, DNS over HTTPS, location or push services. Whatever is left is refused
# by MOZ_DISABLE_NONLOCAL_CONNECTIONS (below): only loopback addresses, no name lookups.
NO_NETWORK_PREFS = {
    "app.update.disabledForTesting": True,
    "app.update.auto": False,
    "app.update.checkInstallTime": False,
    "app.normandy.enabled": False,
    "app.normandy.api_url": "",
    "app.shield.optoutstudies.enabled": False,
    "messaging-system.rsexperimentloader.enabled": False,
    "nimbus.rollouts.enabled": False,
    "services.settings.server": "data:,#remote-settings-dummy/v1",
    "services.sync.enabled": False,
    "identity.fxaccounts.enabled": False,
    "datareporting.policy.dataSubmissionEnabled": False,
    "datareporting.healthreport.uploadEnabled": False,
    "datareporting.usage.uploadEnabled": False,
    "toolkit.telemetry.enabled": False,
    "toolkit.telemetry.unified": False,
    "toolkit.telemetry.archive.enabled": False,
    "toolkit.telemetry.server": "",
    "toolkit.telemetry.shutdownPingSender.enabled": False,
    "toolkit.telemetry.newProfilePing.enabled": False,
    "toolkit.telemetry.firstShutdownPing.enabled": False,
    "toolkit.telemetry.reportingpolicy.firstRun": False,
    "toolkit.crashreporter.include_context_heap": False,
    "browser.crashReports.unsubmittedCheck.enabled": False,
    "browser.ping-centre.telemetry": False,
    "browser.newtabpage.enabled": False,
    "browser.newtabpage.activity-stream.feeds.telemetry": False,
    "browser.newtabpage.activity-stream.telemetry": False,
    "browser.newtabpage.activity-stream.feeds.topsites": False,
    "browser.newtabpage.activity-stream.feeds.section.topstories": False,
    "browser.newtabpage.activity-stream.feeds.system.topstories": False,
    "browser.newtabpage.activity-stream.feeds.snippets": False,
    "browser.topsites.contile.enabled": False,
    "browser.aboutwelcome.enabled": False,
    "browser.startup.page": 0,
    "browser.startup.homepage": "about:blank",
    "browser.startup.homepage_override.mstone": "ignore",
    "startup.homepage_welcome_url": "about:blank",
    "startup.homepage_welcome_url.additional": "",
    "browser.shell.checkDefaultBrowser": False,
    "browser.uitour.enabled": False,
    "browser.search.update": False,
    "browser.search.geoip.url": "",
    "browser.region.network.url": "",
    "browser.region.update.enabled": False,
    "browser.urlbar.suggest.quicksuggest.nonsponsored": False,
    "browser.urlbar.suggest.quicksuggest.sponsored": False,
    "browser.urlbar.speculativeConnect.enabled": False,
    "browser.safebrowsing.malware.enabled": False,
    "browser.safebrowsing.phishing.enabled": False,
    "browser.safebrowsing.downloads.enabled": False,
    "browser.safebrowsing.downloads.remote.enabled": False,
    "browser.safebrowsing.blockedURIs.enabled": False,
    "browser.safebrowsing.passwords.enabled": False,
    "browser.safebrowsing.update.enabled": False,
    "browser.safebrowsing.provider.google.updateURL": "",
    "browser.safebrowsing.provider.google4.updateURL": "",
    "browser.safebrowsing.provider.mozilla.updateURL": "",
    "privacy.query_stripping.enabled": False,
    "extensions.update.enabled": False,
    "extensions.getAddons.cache.enabled": False,
    "extensions.blocklist.enabled": False,
    "extensions.systemAddon.update.enabled": False,
    "extensions.autoDisableScopes": 0,
    "extensions.enabledScopes": 5,
    "extensions.installDistroAddons": False,
    "media.gmp-manager.updateEnabled": False,
    "media.gmp-manager.url": "",
    "media.gmp-gmpopenh264.enabled": False,
    "media.gmp-widevinecdm.enabled": False,
    "network.captive-portal-service.enabled": False,
    "network.connectivity-service.enabled": False,
    "captivedetect.canonicalURL": "",
    "network.trr.mode": 5,
    "network.dns.disablePrefetch": True,
    "network.prefetch-next": False,
    "network.predictor.enabled": False,
    "network.http.speculative-parallel-limit": 0,
    "network.manage-offline-status": False,
    "security.OCSP.enabled": 0,
    "security.remote_settings.crlite_filters.enabled": False,
    "security.remote_settings.intermediates.enabled": False,
    "security.certerrors.mitm.priming.enabled": False,
    "geo.enabled": False,
    "geo.provider.network.url": "",
    "dom.push.enabled": False,
    "dom.push.connection.enabled": False,
    "dom.push.serverURL": "",
    "general.useragent.updates.enabled": False,
}

# The test run itself: Marionette on a free port (written to the profile's MarionetteActivePort),
# no first-run pages or prompts, the page's console on standard output, sound and fullscreen
# without prompts, and WebGL on the software GL that headless has.
RUN_PREFS = {
    "marionette.port": 0,
    "browser.sessionstore.resume_from_crash": False,
    "browser.tabs.warnOnClose": False,
    "browser.warnOnQuit": False,
    "toolkit.startup.max_resumed_crashes": -1,
    "dom.ipc.reportProcessHangs": False,
    "hangmonitor.timeout": 0,
    "devtools.console.stdout.content": True,
    "devtools.console.stdout.chrome": False,
    "messaging-system.log": "off",
    "media.autoplay.default": 0,
    "media.autoplay.block-webaudio": False,
    "media.autoplay.blocking_policy": 0,
    "full-screen-api.warning.timeout": 0,
    "full-screen-api.transition-duration.enter": "0 0",
    "full-screen-api.transition-duration.leave": "0 0",
    "webgl.force-enabled": True,
}

# Headless Firefox has no GLX: WebGL takes EGL (Mesa's llvmpipe here) only when asked. Firefox's
# own switch for test runs refuses every connection that is not to a loopback address, and lets
# the remote settings server be the dummy above.
ENVIRONMENT = {"MOZ_WEBGL_FORCE_EGL": "1", "MOZ_DISABLE_NONLOCAL_CONNECTIONS": "1", "MOZ_CRASHREPORTER_DISABLE": "1",
               "MOZ_CRASHREPORTER_NO_REPORT": "1"}


def _running_in_group(group):
    """Whether a process of the group is still alive (zombies waiting for their parent are not)."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[2]) == group and fields[0] != "Z":
            return True
    return False


def kill_group(process):
    """Kills a process started in a session of its own with everything it started, and waits
    until none of them is left running."""
    deadline = time.monotonic() + 30
    while True:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            break
        if process.poll() is None:
            process.wait()
        if not _running_in_group(process.pid) or time.monotonic() > deadline:
            break
        time.sleep(0.02)
    process.wait()


def available():
    return os.access(FIREFOX, os.X_OK) and os.access(PULSEAUDIO, os.X_OK)


class SoundServer:
    """A private PulseAudio server (use with 'with') with a null sink, paced in real time as a
    device is; PULSE_SERVER names it to its clients."""

    def __init__(self, folder):
        self.folder = folder

    def __enter__(self):
        socket_path = os.path.join(self.folder, "native")
        home = os.path.join(self.folder, "home")
        os.makedirs(home, exist_ok=True)
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "PULSE_SERVER")}
        env.update(HOME=home, XDG_RUNTIME_DIR=self.folder, XDG_CONFIG_HOME=os.path.join(home, "config"))
        self.log = open(os.path.join(self.folder, "pulseaudio.log"), "wb")
        # No configuration read (-n): only the two modules named, no session bus, no memory shared.
        self.process = subprocess.Popen(
            [PULSEAUDIO, "-n", "--daemonize=no", "--system=no", "--exit-idle-time=-1", "--use-pid-file=no",
             "--disable-shm=yes", "--realtime=no", "--high-priority=no", "--log-target=stderr",
             "-L", "module-null-sink sink_name=bv",
             "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket_path],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT, env=env, start_new_session=True)
        deadline = time.monotonic() + 60
        while not self._accepts(socket_path):
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.__exit__()
                with open(os.path.join(self.folder, "pulseaudio.log"), "rb") as f:
                    raise RuntimeError("PulseAudio did not start: " + f.read()[-2000:].decode(errors="replace"))
            time.sleep(0.05)
        self.address = "unix:" + socket_path
        return self

    @staticmethod
    def _accepts(path):
        if not os.path.exists(path):
            return False
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            try:
                s.connect(path)
                return True
            except OSError:
                return False

    def __exit__(self, *exc):
        kill_group(self.process)
        self.log.close()


class Marionette:
    """One connection: each message is its JSON's length in bytes, a colon and the JSON; a command is
    [0, id, name, parameters] and its answer [1, id, error, result]."""

    def __init__(self, port, timeout=120):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        self.buffer = b""
        self.next_id = 0
        hello = self.receive()
        if hello.get("marionetteProtocol") != 3:
            raise RuntimeError("unexpected Marionette greeting %r" % hello)

    def receive(self):
        while b":" not in self.buffer:
            self._more()
        length, self.buffer = self.buffer.split(b":", 1)
        length = int(length)
        while len(self.buffer) < length:
            self._more()
        message, self.buffer = self.buffer[:length], self.buffer[length:]
        return json.loads(message)

    def _more(self):
        chunk = self.sock.recv(1 << 16)
        if not chunk:
            raise RuntimeError("Marionette closed the connection")
        self.buffer += chunk

    def call(self, name, **params):
        self.next_id += 1
        data = json.dumps([0, self.next_id, name, params]).encode()
        self.sock.sendall(str(len(data)).encode() + b":" + data)
        while True:
            message = self.receive()
            if message[0] == 1 and message[1] == self.next_id:
                if message[2]:
                    raise RuntimeError("%s: %s: %s" % (name, message[2].get("error"), message[2].get("message")))
                return message[3]

    def close(self):
        self.sock.close()


class Firefox:
    """One headless Firefox ESR with a fresh profile and home of its own (use with 'with')."""

    def __init__(self, width=1280, height=800):
        self.width, self.height = width, height
        self.console = []  # (level, text) of the page's console messages and script errors, in order
        self.marks = 0

    def __enter__(self):
        self.folder = tempfile.mkdtemp(prefix="bvfirefox-")
        self.profile = os.path.join(self.folder, "profile")
        home = os.path.join(self.folder, "home")
        # Downloads land whole, without asking, in a folder of the run's (a test reads them back).
        self.downloads = os.path.join(self.folder, "downloads")
        os.makedirs(self.profile)
        os.makedirs(home)
        os.makedirs(self.downloads)
        download_prefs = {"browser.download.folderList": 2, "browser.download.dir": self.downloads,
                          "browser.download.useDownloadDir": True,
                          "browser.download.always_ask_before_handling_new_types": False,
                          "browser.download.alwaysOpenPanel": False,
                          "browser.helperApps.neverAsk.saveToDisk": "application/zip,application/octet-stream"}
        with open(os.path.join(self.profile, "user.js"), "w") as f:
            for name, value in list(NO_NETWORK_PREFS.items()) + list(RUN_PREFS.items()) + list(download_prefs.items()):
                f.write("user_pref(%s, %s);\n" % (json.dumps(name), json.dumps(value)))
        self.process = None
        try:
            os.makedirs(os.path.join(self.folder, "sound"))
            self.sound = SoundServer(os.path.join(self.folder, "sound")).__enter__()
        except Exception:
            shutil.rmtree(self.folder, ignore_errors=True)
            raise
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env.update(ENVIRONMENT, HOME=home, XDG_CACHE_HOME=os.path.join(home, "cache"),
                   XDG_CONFIG_HOME=os.path.join(home, "config"), MOZ_HEADLESS_WIDTH=str(self.width),
                   MOZ_HEADLESS_HEIGHT=str(self.height), PULSE_SERVER=self.sound.address)
        self.output_path = os.path.join(self.folder, "output.txt")
        self.output = open(self.output_path, "wb")
        self.read_at = 0
        self.marionette = None
        try:
            # Its own session, so that the browser and every process it starts end together.
            self.process = subprocess.Popen(
                [FIREFOX, "--headless", "--marionette", "--no-remote", "--new-instance", "--profile", self.profile,
                 "about:blank"], stdin=subprocess.DEVNULL, stdout=self.output, stderr=subprocess.STDOUT, env=env,
                start_new_session=True)
            self.marionette = Marionette(self._port())
            session = self.marionette.call("WebDriver:NewSession", capabilities={"alwaysMatch": {
                "pageLoadStrategy": "normal", "unhandledPromptBehavior": "dismiss",
                "timeouts": {"script": 120000, "pageLoad": 120000}}})
            self.version = session["capabilities"]["browserVersion"]
            self.marionette.call("WebDriver:SetWindowRect", x=0, y=0, width=self.width, height=self.height)
        except Exception:
            self.__exit__()
            raise
        return self

    def _port(self):
        port_file = os.path.join(self.profile, "MarionetteActivePort")
        deadline = time.monotonic() + 60
        while True:
            if os.path.exists(port_file):
                with open(port_file) as f:
                    text = f.read().strip()
                if text:
                    return int(text)
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise RuntimeError("Firefox did not start: " + self._output_tail())
            time.sleep(0.05)

    def _output_tail(self):
        with open(self.output_path, "rb") as f:
            return f.read()[-2000:].decode(errors="replace")

    def __exit__(self, *exc):
        # The browser's whole group: its fork server, content, socket and utility processes too.
        if self.marionette:
            self.marionette.close()
        if self.process:
            kill_group(self.process)
        self.sound.__exit__()
        self.output.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def call(self, name, **params):
        return self.marionette.call(name, **params)

    def evaluate(self, expression):
        """The expression's value in the page, as JSON gives it back."""
        return self.call("WebDriver:ExecuteScript", script="return (%s);" % expression, args=[])["value"]

    def open(self, url):
        self.call("WebDriver:Navigate", url=url)

    def mouse(self, down, x, y):
        """The left button pressed (or released) at a point of the page, as a user's own input."""
        self.call("WebDriver:PerformActions", actions=[{
            "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
            "actions": [{"type": "pointerMove", "origin": "viewport", "x": round(x), "y": round(y), "duration": 0},
                        {"type": "pointerDown" if down else "pointerUp", "button": 0}]}])

    def move(self, x, y, held=True):
        """The pointer moved to a point of the page; the button stays as the last mouse() left it."""
        self.call("WebDriver:PerformActions", actions=[{
            "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
            "actions": [{"type": "pointerMove", "origin": "viewport", "x": round(x), "y": round(y), "duration": 0}]}])

    # WebDriver's codes for keys that are not text.
    KEYS = {"Backspace": "\ue003", "Home": "\ue011", "End": "\ue010", "Escape": "\ue00c", "Enter": "\ue007"}
    MODIFIERS = ((1, "\ue00a"), (2, "\ue009"), (4, "\ue03d"), (8, "\ue008"))  # Alt, Ctrl, Meta, Shift

    def key(self, name, modifiers=0):
        """One key pressed and released as a user's own input (as browser.Browser.key)."""
        value = self.KEYS.get(name, name)
        held = [code for bit, code in self.MODIFIERS if modifiers & bit]
        actions = ([{"type": "keyDown", "value": c} for c in held] + [{"type": "keyDown", "value": value},
                   {"type": "keyUp", "value": value}] + [{"type": "keyUp", "value": c} for c in reversed(held)])
        self.call("WebDriver:PerformActions", actions=[{"type": "key", "id": "keyboard", "actions": actions}])

    def type(self, text):
        """Text typed key by key."""
        for ch in text:
            self.key(ch)

    def screenshot(self, x, y, width, height):
        """The page's pixels in a rectangle, as PNG bytes (the viewport cut by ImageMagick)."""
        whole = base64.b64decode(self.call("WebDriver:TakeScreenshot", full=False)["value"])
        crop = "%dx%d+%d+%d" % (width, height, round(x), round(y))
        return subprocess.run(["convert", "png:-", "-crop", crop, "+repage", "png:-"], input=whole,
                              stdout=subprocess.PIPE, check=True).stdout

    def drain(self, seconds=0.0):
        """Records the page's console lines up to now: a marker is logged, and every line before it
        is in the browser's output once the marker is (seconds: as browser.Browser, unused)."""
        self.marks += 1
        marker = "bv-console-mark-%d" % self.marks
        self.evaluate("console.log(%s)" % json.dumps(marker))
        deadline = time.monotonic() + 60
        while True:
            with open(self.output_path, "rb") as f:
                f.seek(self.read_at)
                text = f.read()
            for line in text.splitlines(keepends=True):
                if not line.endswith(b"\n"):
                    break
                self.read_at += len(line)
                line = line.decode(errors="replace").rstrip("\n")
                if marker in line:
                    return
                self._line(line)
            if time.monotonic() > deadline:
                raise RuntimeError("the page's console did not reach Firefox's output")
            time.sleep(0.02)

    def _line(self, line):
        # console.log: "text", console.error: ..., JavaScript error: URL, line N: message
        for prefix, level in (("console.error: ", "error"), ("console.warn: ", "warning"),
                              ("console.log: ", "log"), ("console.info: ", "info"), ("console.debug: ", "debug"),
                              ("JavaScript error: ", "error"), ("JavaScript warning: ", "warning")):
            if line.startswith(prefix):
                text = line[len(prefix):]
                # Script errors name their source: the browser's own (chrome:, resource:) are not the page's.
                if prefix.startswith("JavaScript") and not text.startswith(("http:", "https:", "data:")):
                    return
                self.console.append((level, text))
                return

    def webgl2_missing(self):
        """None when the page can make a WebGL 2 context, else why not, as Firefox says it."""
        why = self.evaluate(
            "(function(){var c=document.createElement('canvas'),why='';"
            "c.addEventListener('webglcontextcreationerror',function(e){why=e.statusMessage});"
            "return c.getContext('webgl2')?null:why||'no reason given'})()")
        return why and "Firefox ESR %s makes no WebGL 2 context here: %s" % (self.version, why)
