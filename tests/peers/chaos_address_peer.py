#!/usr/bin/python3
"""An address service that misbehaves on a schedule, for the long-run test.

Time is cut into slots of --slot seconds; slot k behaves as step k of --schedule (cycling):
  A / B      answer the address 203.0.113.1 / 203.0.113.2
  error      answer "error"
  html       answer an HTML page
  hang       accept, read the request, never answer (the client's time-out must end it)
  refuse     stop listening for the whole slot (connections are refused)
  big        answer 10 MiB of text

Prints "PORT <port>" when ready. Every response it sends is logged as "<monotonic> <step> <address>"
to --log. Stops when standard input closes or after --lifetime seconds.
"""
import argparse
import os
import select
import socket
import sys
import time

ADDRESSES = {"A": b"203.0.113.1", "B": b"203.0.113.2"}
HTML = b"<!DOCTYPE html><html><head><title>Sign in</title></head><body><form>Hotel Wi-Fi</form></body></html>"


def listener(port):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", port))
    s.listen(16)
    s.setblocking(False)
    return s


def respond(conn, step, log):
    conn.settimeout(5)
    try:
        request = b""
        while b"\r\n\r\n" not in request and len(request) < 65536:
            chunk = conn.recv(4096)
            if not chunk:
                return None
            request += chunk
        if step == "hang":
            return conn  # kept open, never answered
        if step in ADDRESSES:
            body = ADDRESSES[step]
        elif step == "error":
            body = b"error"
        elif step == "html":
            body = HTML
        else:  # big
            body = b"x" * (10 * 1024 * 1024)
        head = b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: %d\r\n\r\n" % len(body)
        conn.sendall(head + body)
        log.write(f"{time.monotonic():.3f} {step} {ADDRESSES.get(step, b'-').decode()}\n")
        log.flush()
    except OSError:
        pass
    conn.close()
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--slot", type=float, default=5.0)
    parser.add_argument("--schedule", default="A,B,error,A,html,B,hang,A,refuse,B,big,A")
    parser.add_argument("--log", required=True)
    parser.add_argument("--lifetime", type=float, default=1800.0)
    args = parser.parse_args()
    schedule = args.schedule.split(",")
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    server = listener(port)
    started = time.monotonic()
    hanging = []
    print(f"PORT {port}", flush=True)
    with open(args.log, "a") as log:
        while time.monotonic() - started < args.lifetime:
            step = schedule[int((time.monotonic() - started) / args.slot) % len(schedule)]
            if step == "refuse" and server is not None:
                server.close()
                server = None
            elif step != "refuse" and server is None:
                server = listener(port)
            watched = [sys.stdin] + ([server] if server is not None else [])
            ready, _, _ = select.select(watched, [], [], 0.2)
            if sys.stdin in ready and not sys.stdin.buffer.read1(4096):
                break
            if server is not None and server in ready:
                try:
                    conn, _ = server.accept()
                except OSError:
                    continue
                kept = respond(conn, step, log)
                if kept is not None:
                    hanging.append(kept)
    for conn in hanging:
        conn.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
