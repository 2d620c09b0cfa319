#!/usr/bin/python3
"""A mail server whose connections take turns: accept the mail, reject it, stall, close early.

Connection n (from 0) behaves as --cycle[n % len]: "accept" runs a whole dialogue (AUTH LOGIN too),
"reject" answers the greeting and then 550 to HELO/EHLO, "stall" accepts and never says anything,
"close" sends the greeting and closes when the first command arrives. Each connection is logged to
--log as "<monotonic> <n> <behaviour> <outcome>". Prints "PORT <port>"; stops when standard input
closes or after --lifetime seconds.
"""
import argparse
import select
import socket
import sys
import threading
import time


def lines(conn):
    pending = b""
    while True:
        while b"\r\n" not in pending:
            chunk = conn.recv(65536)
            if not chunk:
                return
            pending += chunk
        line, pending = pending.split(b"\r\n", 1)
        yield line


def serve(conn, n, behaviour, log, lock):
    outcome = "ended"
    conn.settimeout(60)
    try:
        if behaviour == "stall":
            time.sleep(45)
            outcome = "stalled"
            return
        conn.sendall(b"220 rotating.test ESMTP\r\n")
        reader = lines(conn)
        first = next(reader, None)
        if behaviour == "close" or first is None:
            outcome = "closed"
            return
        if behaviour == "reject":
            conn.sendall(b"550 5.7.1 Not today\r\n")
            outcome = "rejected"
            return
        conn.sendall(b"250 rotating.test\r\n")
        in_data = False
        for line in reader:
            if in_data:
                if line == b".":
                    in_data = False
                    conn.sendall(b"250 2.0.0 Queued\r\n")
                    outcome = "accepted"
                continue
            verb = line.split(b" ")[0].upper()
            if verb == b"AUTH":
                conn.sendall(b"334 VXNlcm5hbWU6\r\n")
                next(reader, None)
                conn.sendall(b"334 UGFzc3dvcmQ6\r\n")
                next(reader, None)
                conn.sendall(b"235 2.7.0 Authenticated\r\n")
            elif verb == b"DATA":
                in_data = True
                conn.sendall(b"354 End data with <CR><LF>.<CR><LF>\r\n")
            elif verb == b"QUIT":
                conn.sendall(b"221 Bye\r\n")
                break
            else:
                conn.sendall(b"250 OK\r\n")
    except OSError:
        outcome = "broken"
    finally:
        conn.close()
        with lock:
            log.write(f"{time.monotonic():.3f} {n} {behaviour} {outcome}\n")
            log.flush()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cycle", default="accept,reject,stall,close")
    parser.add_argument("--log", required=True)
    parser.add_argument("--lifetime", type=float, default=1800.0)
    args = parser.parse_args()
    cycle = args.cycle.split(",")
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(16)
    print(f"PORT {server.getsockname()[1]}", flush=True)
    lock = threading.Lock()
    started = time.monotonic()
    n = 0
    with open(args.log, "a") as log:
        while time.monotonic() - started < args.lifetime:
            ready, _, _ = select.select([sys.stdin, server], [], [], 1.0)
            if sys.stdin in ready and not sys.stdin.buffer.read1(4096):
                break
            if server in ready:
                conn, _ = server.accept()
                threading.Thread(target=serve, args=(conn, n, cycle[n % len(cycle)], log, lock), daemon=True).start()
                n += 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
