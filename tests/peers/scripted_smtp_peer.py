#!/usr/bin/python3
"""A mail server that follows a script, for the replies a real server will not give.

Each argument is one step, run in order for every connection it accepts (--connections, default 1):
  send:<text>    sends <text>; \\r, \\n and \\\\ are written as escapes
  line           reads one command line (up to CR LF)
  data           reads the message up to the line "."
  close          closes the connection
  hang           keeps the connection open and silent until the peer stops
  pause:<sec>    waits
With --dialogue, the steps are those of a server that accepts everything (with AUTH LOGIN), and
--delay waits that many seconds before every reply. Every received line is printed as
"RECV <base64>", every accepted connection as "CONNECTION <n>". Prints "PORT <port>" when ready;
stops when standard input closes or after --lifetime seconds.
"""
import argparse
import base64
import os
import select
import socket
import sys
import threading
import time

from peerlib import emit, wait_for_end


def unescape(text):
    return text.replace("\\r", "\r").replace("\\n", "\n").replace("\\\\", "\\").encode("utf-8")


class Connection:
    def __init__(self, sock, stop):
        self.sock = sock
        self.stop = stop
        self.pending = b""

    def read_until(self, end):
        while end not in self.pending:
            if self.stop.is_set():
                return None
            ready, _, _ = select.select([self.sock], [], [], 0.5)
            if not ready:
                continue
            chunk = self.sock.recv(65536)
            if not chunk:
                return None
            self.pending += chunk
        at = self.pending.index(end) + len(end)
        got, self.pending = self.pending[:at], self.pending[at:]
        emit("RECV " + base64.b64encode(got).decode("ascii"))
        return got


def dialogue_server(conn, delay):
    def reply(text):
        time.sleep(delay)
        conn.sock.sendall(text.encode("ascii"))

    reply("220 scripted ready\r\n")
    while True:
        line = conn.read_until(b"\r\n")
        if line is None:
            return
        verb = line[:4].upper()
        if verb == b"EHLO":
            reply("250-scripted\r\n250 AUTH LOGIN\r\n")
        elif verb == b"AUTH":
            reply("334 VXNlcm5hbWU6\r\n")
            if conn.read_until(b"\r\n") is None:
                return
            reply("334 UGFzc3dvcmQ6\r\n")
            if conn.read_until(b"\r\n") is None:
                return
            reply("235 ok\r\n")
        elif verb == b"DATA":
            reply("354 go ahead\r\n")
            if conn.read_until(b"\r\n.\r\n") is None:
                return
            reply("250 accepted\r\n")
        elif verb == b"QUIT":
            reply("221 bye\r\n")
            return
        else:
            reply("250 ok\r\n")


def scripted_server(conn, steps):
    for step in steps:
        if conn.stop.is_set():
            return
        if step.startswith("send:"):
            conn.sock.sendall(unescape(step[5:]))
        elif step == "line":
            if conn.read_until(b"\r\n") is None:
                return
        elif step == "data":
            if conn.read_until(b"\r\n.\r\n") is None:
                return
        elif step == "close":
            return
        elif step == "hang":
            conn.stop.wait()
            return
        elif step.startswith("pause:"):
            time.sleep(float(step[6:]))
    # After the script: read and drop until the client goes.
    while conn.read_until(b"\r\n") is not None:
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--connections", type=int, default=1)
    parser.add_argument("--dialogue", action="store_true")
    parser.add_argument("--delay", type=float, default=0.0)
    parser.add_argument("--lifetime", type=float, default=120.0)
    parser.add_argument("steps", nargs="*")
    args = parser.parse_args()

    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    stop = threading.Event()

    def serve():
        for n in range(args.connections):
            try:
                sock, _ = listener.accept()
            except OSError:
                return
            emit("CONNECTION %d" % (n + 1))
            conn = Connection(sock, stop)
            try:
                if args.dialogue:
                    dialogue_server(conn, args.delay)
                else:
                    scripted_server(conn, args.steps)
            except OSError:
                pass
            finally:
                sock.close()

    worker = threading.Thread(target=serve, daemon=True)
    worker.start()
    emit("PORT %d" % listener.getsockname()[1])
    wait_for_end(args.lifetime)
    stop.set()
    listener.close()
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
