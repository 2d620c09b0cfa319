#!/usr/bin/python3
"""The HTTP peer for faults nginx cannot make. Each request gets the answer of one step:
  A, B          the address 203.0.113.1 / 203.0.113.2      text:BODY    BODY as it is (text:2001:db8::1)
  error, html   "error" / a captive portal's sign-in page  big, binary  10 MiB of "x" / bytes 0-255 16 times
  status:CODE[:REASON]  CODE and its reason (status:503), addr A   slow:N  address A, sent N seconds late
  redirect      302 to the same URL, again and again       hang         reads the request, never answers
  refuse        nothing listens (connections are refused)
Options: --step STEP (default A) answers every request so; --schedule S,S,... instead cuts time into slots
of --slot seconds (default 5) and slot k answers as step k, cycling (the long run's address service);
--log PATH appends "<monotonic> <step> <address or ->" for every answer; --lifetime SECONDS (default 1800).
Prints "PORT <port>"; stops when standard input closes."""
import argparse, http, socket, threading, time

from peerlib import emit, free_port, wait_for_end

ADDRESSES = {"A": b"203.0.113.1", "B": b"203.0.113.2"}
BODIES = {"error": b"error", "big": b"x" * (10 << 20), "binary": bytes(range(256)) * 16,
          "html": b"<!DOCTYPE html><html><head><title>Sign in</title></head><body><form>Wi-Fi</form></body></html>"}
REASONS = {s.value: s.phrase for s in http.HTTPStatus}
held = []  # hanging connections stay open until the peer ends


def serve(conn, step, port, log):
    name, _, arg = step.partition(":")
    with conn, conn.makefile("rb") as reader:
        request = reader.readline()
        while reader.readline().strip():  # the headers, up to the blank line
            pass
        if name == "hang":
            return held.append(conn.dup())
        time.sleep(float(arg) if name == "slow" else 0)
        status, _, reason = (arg if name == "status" else "302" if name == "redirect" else "200").partition(":")
        reason = reason or REASONS.get(int(status), "Answer")
        location = f"Location: http://127.0.0.1:{port}{request.split()[1].decode()}\r\n" if name == "redirect" else ""
        body = BODIES.get(name, arg.encode() if name == "text" else ADDRESSES.get(name, ADDRESSES["A"]))
        try:
            conn.sendall(f"HTTP/1.1 {status} {reason}\r\nContent-Type: text/plain\r\nConnection: close\r\n{location}"
                         f"Content-Length: {len(body)}\r\n\r\n".encode() + body)
        except OSError:  # the client gave up: a body cut short, a time-out
            return
        if log:
            with open(log, "a") as f:  # one short write: lines of parallel answers do not mix
                f.write(f"{time.monotonic():.3f} {step} {ADDRESSES.get(name, b'-').decode()}\n")


def listen(args, port, steps, server):
    started = time.monotonic()
    while True:
        elapsed = time.monotonic() - started
        step = steps[int(elapsed / args.slot) % len(steps)]
        left = args.slot - elapsed % args.slot if len(steps) > 1 else None
        if step == "refuse":
            server = server.close() if server else None
            time.sleep(left or 1e6)
            continue
        server = server or socket.create_server(("127.0.0.1", port))
        server.settimeout(left)
        try:
            conn, _ = server.accept()
            threading.Thread(target=serve, args=(conn, step, port, args.log), daemon=True).start()
        except socket.timeout:
            pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--step", default="A")
    parser.add_argument("--schedule")
    parser.add_argument("--slot", type=float, default=5.0)
    parser.add_argument("--log")
    parser.add_argument("--lifetime", type=float, default=1800.0)
    args = parser.parse_args()
    port, steps = free_port(), (args.schedule or args.step).split(",")
    server = None if steps[0] == "refuse" else socket.create_server(("127.0.0.1", port))
    threading.Thread(target=listen, args=(args, port, steps, server), daemon=True).start()
    emit(f"PORT {port}")
    wait_for_end(args.lifetime)


if __name__ == "__main__":
    main()
