#!/usr/bin/python3
"""Loopback HTTP and FTP servers for the network stream tests.

usage: net_servers.py ROOT PORTFILE STOPFILE

Serves ROOT over HTTP (python's http.server) and anonymous FTP (pyftpdlib) on free
loopback ports, writes "HTTPPORT FTPPORT" to PORTFILE once both listen, and exits when
STOPFILE appears (or after ten minutes, so a crashed test leaves nothing behind).
Besides the files themselves the HTTP server has two kinds of address:
  /nolength/NAME  the file without a Content-Length (the end is the closed connection)
  /drop/NAME      announces the whole file, sends half of it and drops the connection
  /range/NAME     the file, honouring "Range: bytes=N-" with 206 (the plain addresses ignore it)
  /pause/SECS/AT/NAME  the file, pausing SECS seconds after byte AT
  /endless/NAME   the file over and over without end, as fast as it is taken
  /silent/NAME    takes the request and never answers (the connection is closed after 15 s)
"""
import http.server
import os
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, portfile, stopfile = sys.argv[1:4]


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)

    def log_message(self, *args):
        pass

    def send_plain(self, length=None):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True

    def special(self):
        parts = self.path.split("/")
        kind = parts[1] if len(parts) > 2 else ""
        if kind not in ("range", "pause", "endless", "silent"):
            return False
        if kind == "silent":
            time.sleep(15)
            self.close_connection = True
            return True
        name = os.path.join(root, *parts[-2:]) if parts[-2] in ("detect", "net") else os.path.join(root, parts[-1])
        if not os.path.isfile(name):
            self.send_error(404)
            return True
        with open(name, "rb") as f:
            data = f.read()
        try:
            if kind == "range":
                start = 0
                asked = self.headers.get("Range", "")
                if asked.startswith("bytes=") and asked.endswith("-"):
                    start = int(asked[6:-1])
                if start:
                    self.send_response(206)
                    self.send_header("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))
                    self.send_header("Content-Length", str(len(data) - start))
                    self.send_header("Connection", "close")
                    self.end_headers()
                    self.close_connection = True
                else:
                    self.send_plain(len(data))
                self.wfile.write(data[start:])
            elif kind == "pause":
                secs, at = float(parts[2]), int(parts[3])
                self.send_plain(len(data))
                self.wfile.write(data[:at])
                self.wfile.flush()
                time.sleep(secs)
                self.wfile.write(data[at:])
            else:
                self.send_plain()
                while True:
                    self.wfile.write(data)
        except (BrokenPipeError, ConnectionResetError):
            pass
        return True

    def do_GET(self):
        if self.special():
            return
        for prefix in ("/nolength/", "/drop/"):
            if self.path.startswith(prefix):
                name = os.path.join(root, os.path.basename(self.path[len(prefix):]))
                if not os.path.isfile(name):
                    self.send_error(404)
                    return
                with open(name, "rb") as f:
                    data = f.read()
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                if prefix == "/drop/":
                    self.send_header("Content-Length", str(len(data)))
                    data = data[: len(data) // 2]
                self.send_header("Connection", "close")
                self.end_headers()
                self.wfile.write(data)
                self.wfile.flush()
                self.close_connection = True
                return
        super().do_GET()


httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
threading.Thread(target=httpd.serve_forever, daemon=True).start()

authorizer = DummyAuthorizer()
authorizer.add_anonymous(root)
FTPHandler.authorizer = authorizer
FTPHandler.log_prefix = ""
ftpd = FTPServer(("127.0.0.1", 0), FTPHandler)
threading.Thread(target=ftpd.serve_forever, kwargs={"handle_exit": False}, daemon=True).start()

with open(portfile + ".tmp", "w") as f:
    f.write("%d %d\n" % (httpd.server_address[1], ftpd.socket.getsockname()[1]))
os.replace(portfile + ".tmp", portfile)

deadline = time.time() + 600
while not os.path.exists(stopfile) and time.time() < deadline:
    time.sleep(0.1)
httpd.shutdown()
ftpd.close_all()
os.remove(portfile)
