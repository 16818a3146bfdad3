"""A small Language Server Protocol client for the tests: starts bvtool lsp, frames messages with
Content-Length, and waits for responses and notifications by what they say, never by the clock
alone (every wait has a deadline that fails the test)."""

import json
import os
import subprocess
import threading
import time


def uri(path):
    return "file://" + os.path.abspath(path)


class LspClient:
    def __init__(self, command, root):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.messages = []  # everything the server sent, in order
        self.lock = threading.Condition()
        self.next_id = 1
        threading.Thread(target=self._read, daemon=True).start()
        threading.Thread(target=self._drain_errors, daemon=True).start()
        self.errors = b""
        result = self.request("initialize", {"processId": os.getpid(), "rootUri": uri(root), "capabilities": {}})
        self.capabilities = result["capabilities"]
        self.notify("initialized", {})

    def _drain_errors(self):
        for line in self.process.stderr:
            self.errors += line

    def _read(self):
        out = self.process.stdout
        while True:
            length = None
            while True:
                line = out.readline()
                if not line:
                    with self.lock:
                        self.messages.append(None)  # the server is gone
                        self.lock.notify_all()
                    return
                line = line.strip()
                if not line:
                    if length is not None:
                        break
                    continue
                if line.lower().startswith(b"content-length:"):
                    length = int(line.split(b":")[1])
            body = out.read(length)
            with self.lock:
                self.messages.append(json.loads(body))
                self.lock.notify_all()

    def send_raw(self, body):
        self.process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.process.stdin.flush()

    def send(self, message):
        self.send_raw(json.dumps(message).encode())

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def wait_for(self, predicate, timeout=60, start=0):
        """The first message from index `start` on that satisfies the predicate."""
        deadline = time.monotonic() + timeout
        with self.lock:
            while True:
                for i in range(start, len(self.messages)):
                    m = self.messages[i]
                    if m is None:
                        raise AssertionError("the server ended: " + self.errors.decode(errors="replace"))
                    if predicate(m):
                        return m
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("no such message within %s s" % timeout)
                self.lock.wait(left)

    def request(self, method, params, timeout=60):
        rid = self.next_id
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": rid, "method": method, "params": params})
        m = self.wait_for(lambda m: m.get("id") == rid and ("result" in m or "error" in m), timeout)
        if "error" in m:
            raise LspError(m["error"])
        return m["result"]

    def mark(self):
        with self.lock:
            return len(self.messages)

    def diagnostics(self, path, since=0, timeout=60, predicate=lambda d: True):
        """The next diagnostics published for a file after message index `since` that satisfy the predicate."""
        target = uri(path)
        m = self.wait_for(lambda m: m.get("method") == "textDocument/publishDiagnostics" and
                          m["params"]["uri"] == target and predicate(m["params"]["diagnostics"]), timeout, since)
        return m["params"]["diagnostics"]

    def close(self):
        try:
            self.request("shutdown", None, timeout=30)
            self.notify("exit", None)
        except (AssertionError, BrokenPipeError, LspError):
            pass
        try:
            return self.process.wait(30)
        finally:
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait(30)
            for stream in (self.process.stdin, self.process.stdout, self.process.stderr):
                try:
                    stream.close()
                except (BrokenPipeError, OSError):
                    pass


class LspError(Exception):
    def __init__(self, error):
        super().__init__("%s: %s" % (error.get("code"), error.get("message")))
        self.code = error.get("code")
