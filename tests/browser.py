"""A real browser for the tests: Debian's Chromium, headless, driven through its DevTools
protocol. Sized as a phone; evaluates the page's own JavaScript and takes screenshots."""
import base64
import itertools
import json
import os
import shutil
import subprocess
import tempfile
import time
import urllib.request

import websocket


class Browser:
    def __init__(self, width=360, height=780, scale=2, flags=()):
        self.profile = tempfile.mkdtemp(prefix="tk-chromium-")
        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + self.profile, "--remote-debugging-port=0", "--remote-allow-origins=*",
             "--window-size=%d,%d" % (width, height), *flags, "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        for _ in range(300):
            if os.path.exists(port_file) and open(port_file).read().strip():
                break
            time.sleep(0.1)
        port = open(port_file).read().split()[0]
        pages = []
        for _ in range(100):
            pages = [t for t in json.load(urllib.request.urlopen("http://127.0.0.1:%s/json/list" % port))
                     if t["type"] == "page"]
            if pages:
                break
            time.sleep(0.1)
        self.channel = websocket.create_connection(pages[0]["webSocketDebuggerUrl"], timeout=30)
        self.ids = itertools.count(1)
        self.send("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=scale,
                  mobile=True)
        self.send("Page.enable")

    def send(self, method, **params):
        ident = next(self.ids)
        self.channel.send(json.dumps({"id": ident, "method": method, "params": params}))
        while True:
            message = json.loads(self.channel.recv())
            if message.get("id") == ident:
                if "error" in message:
                    raise RuntimeError("%s: %s" % (method, message["error"]))
                return message.get("result", {})

    def open(self, url):
        self.send("Page.navigate", url=url)

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", expression=expression, returnByValue=True)
        if "exceptionDetails" in result:
            return None
        return result["result"].get("value")

    def screenshot(self, path):
        data = self.send("Page.captureScreenshot", format="png", captureBeyondViewport=False)["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))

    def close(self):
        try:
            self.channel.close()
        finally:
            self.process.kill()
            self.process.wait()
            shutil.rmtree(self.profile, ignore_errors=True)
