#!/usr/bin/python3
"""The HTTP peer for faults nginx cannot make. Each request gets the answer of one step:
  A, B          the address 203.0.113.1 / 203.0.113.2      text:BODY    BODY as it is (text:2001:db8::1)
  error, html   "error" / a captive portal's sign-in page  big, binary  10 MiB of "x" / bytes 0-255 16 times
  status:CODE[:REASON]  CODE and its reason (status:503), addr A   slow:N  address A, sent N seconds late
  redirect      302 to the same URL, again and again       hang         reads the request, never answers
  refuse        nothing listens (connections are refused)  drip:N       address A, a byte every N seconds
  moved:CODE:HOST  CODE to http://HOST:<port>/caught, which this peer answers "caught" (also on 127.0.0.2)
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
        request, length = reader.readline(), 0
        while line := reader.readline().strip():  # the headers, up to the blank line
            name_, _, value = line.partition(b":")
            length = int(value) if name_.lower() == b"content-length" else length
        reader.read(length)  # the body, read so that closing does not reset the connection
        if name == "hang":
            return held.append(conn.dup())
        if request.split()[1:2] == [b"/caught"]:
            name, arg = "text", "caught"
        time.sleep(float(arg) if name == "slow" else 0)
        code = arg.split(":")[0] if name == "moved" else "302" if name == "redirect" else "200"
        status, _, reason = (arg if name == "status" else code).partition(":")
        reason = reason or REASONS.get(int(status), "Answer")
        path = request.split()[1].decode()
        target = f"{arg.split(':')[1]}:{port}/caught" if name == "moved" else f"127.0.0.1:{port}{path}"
        location = f"Location: http://{target}\r\n" if name in ("redirect", "moved") else ""
        body = BODIES.get(name, arg.encode() if name == "text" else ADDRESSES.get(name, ADDRESSES["A"]))
        head = (f"HTTP/1.1 {status} {reason}\r\nContent-Type: text/plain\r\nConnection: close\r\n{location}"
                f"Content-Length: {len(body)}\r\n\r\n").encode()
        try:
            conn.sendall(head + (b"" if name == "drip" else body))
            for i in range(len(body) if name == "drip" else 0):  # only a deadline on the whole answer ends this
                time.sleep(float(arg))
                conn.sendall(body[i:i + 1])
        except OSError:  # the client gave up: a body cut short, a time-out
            return
        if log:
            with open(log, "a") as f:  # one short write: lines of parallel answers do not mix
                f.write(f"{time.monotonic():.3f} {step} {ADDRESSES.get(name, b'-').decode()}\n")


def accept_all(server, port):
    while True:
        threading.Thread(target=serve, args=(server.accept()[0], "A", port, None), daemon=True).start()


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
    if steps[0].startswith("moved:"):  # another origin for a redirect to reach: another loopback address
        threading.Thread(target=accept_all, args=(socket.create_server(("127.0.0.2", port)), port),
                         daemon=True).start()
    emit(f"PORT {port}")
    wait_for_end(args.lifetime)


if __name__ == "__main__":
    main()
