#!/usr/bin/env python3
"""HTTPS server for the faults nginx cannot show. Paths:
  /cut/N        Content-Length 2N, N bytes of the body, then the connection is closed
  /stall/N      Content-Length 2N, N bytes, then nothing for 60 s
  /trickle/N    Content-Length N, one byte a second
  /slow/NAME     after 2 s: 206 with spaces for the requested range (200 without one)
  /late/NAME     at once the headers of a 206 for the requested range (200 without one),
                after 2 s its body of spaces
  /range/NAME    206 with ten bytes, whatever the range asked for
  /hang/N       no answer for N seconds, then 404
Every request is logged as "arrived PATH" when it comes, and with its status when answered.
  /status/N     status N with a short body
  /spaces/N     200 with N spaces
  /body/TEXT    200 with the rest of the path as the body
  /stale/TEXT   200 with TEXT to a request that asks caches to revalidate (Cache-Control and
                Pragma no-cache), else TEXT with its case swapped: an edge's old copy
  /gzip/bomb    a gzip body that unpacks to 65 MiB; /gzip/NAME: "{}" in Content-Encoding NAME
"""
import gzip
import http.server
import socketserver
import ssl
import sys
import time
import urllib.parse


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        sys.stderr.write("%s\n" % (fmt % args))

    def start(self, status, length):
        """The status line and the headers of an answer of length bytes."""
        self.send_response(status)
        self.send_header("Content-Length", str(length))
        self.end_headers()

    def do_GET(self):
        sys.stderr.write("arrived %s\n" % self.path)
        sys.stderr.flush()
        parts = urllib.parse.urlsplit(self.path).path.split("/", 2)
        kind = parts[1] if len(parts) > 1 else ""
        arg = urllib.parse.unquote(parts[2]) if len(parts) > 2 else ""
        if kind in ("cut", "stall"):
            n = int(arg)
            self.start(200, 2 * n)
            self.wfile.write(b"x" * n)
            self.wfile.flush()
            if kind == "stall":
                time.sleep(60)
            self.close_connection = True
            self.connection.shutdown(2)
        elif kind == "trickle":
            n = int(arg)
            self.start(200, n)
            for _ in range(n):
                self.wfile.write(b" ")
                self.wfile.flush()
                time.sleep(1)
        elif kind in ("slow", "late"):
            if kind == "slow":
                time.sleep(2)
            first, last = 0, 9
            ranged = self.headers.get("Range", "")
            if ranged.startswith("bytes="):
                first, last = (int(v) for v in ranged[len("bytes="):].split("-"))
            self.start(206 if ranged else 200, last - first + 1)
            if kind == "late":
                self.wfile.flush()
                time.sleep(2)
            self.wfile.write(b" " * (last - first + 1))
        elif kind == "range":
            self.start(206, 10)
            self.wfile.write(b"0123456789")
        elif kind == "hang":
            time.sleep(int(arg))
            self.send_error(404)
        elif kind == "spaces":
            n = int(arg)
            self.start(200, n)
            block = b" " * 65536
            for at in range(0, n, len(block)):
                self.wfile.write(block[:min(len(block), n - at)])
        elif kind == "status":
            body = b"status"
            self.start(int(arg), len(body))
            self.wfile.write(body)
        elif kind == "gzip":
            # A manifest that unpacks past the launcher's limit, or one in an encoding it does
            # not know.
            body = gzip.compress(b" " * (65 << 20)) if arg == "bomb" else b"{}"
            self.send_response(200)
            self.send_header("Content-Encoding", "gzip" if arg == "bomb" else arg)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        elif kind == "stale":
            revalidate = all("no-cache" in self.headers.get(h, "") for h in ("Cache-Control", "Pragma"))
            body = (arg if revalidate else arg.swapcase()).encode()
            self.start(200, len(body))
            self.wfile.write(body)
        elif kind == "body":
            body = arg.encode()
            self.start(200, len(body))
            self.wfile.write(body)
        else:
            self.send_error(404)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    port, cert, key = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    server = Server(("127.0.0.1", port), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    # The handshake happens in each request's thread, on its first read: done in accept(), a
    # client that connects and never speaks (a killed launcher's half-open connection) would
    # hold up every later client.
    server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    server.serve_forever()


if __name__ == "__main__":
    main()
