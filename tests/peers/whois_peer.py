#!/usr/bin/python3
"""A WHOIS server on 127.0.0.1 for the tests; stops by itself.

Reads one query line per connection (up to CR LF), prints "QUERY <hex of the line's bytes>" to
standard output, and answers according to the query:

  pieces   80 numbered lines, sent in many small pieces with pauses, then closes
  hang     one line, then keeps the connection open without closing it
  big      --big bytes of "x" lines, then closes
  latin1   a line in Latin-1 that is not valid UTF-8, then closes
  anything else (the empty query too): "query was [<text>]" CR LF, then closes

Prints "PORT <port>" when it listens. Stops when standard input closes or after --lifetime seconds.
"""
import argparse
import select
import socket
import sys
import threading
import time


def read_query(conn):
    data = b""
    while b"\r\n" not in data and len(data) < 65536:
        chunk = conn.recv(4096)
        if not chunk:
            break
        data += chunk
    return data.split(b"\r\n", 1)[0]


def answer(conn, query, big):
    if query == b"pieces":
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        text = b"".join(b"line %02d of the answer\r\n" % i for i in range(80))
        for start in range(0, len(text), 37):
            conn.sendall(text[start:start + 37])
            time.sleep(0.005)
    elif query == b"hang":
        conn.sendall(b"first part only\r\n")
        time.sleep(3600)
    elif query == b"big":
        line = b"x" * 1023 + b"\n"
        sent = 0
        try:
            while sent < big:
                conn.sendall(line)
                sent += len(line)
        except OSError:
            pass  # the client stopped reading at its limit
    elif query == b"latin1":
        conn.sendall(b"Stra\xdfe M\xfcller\r\n")
    else:
        conn.sendall(b"query was [" + query + b"]\r\n")


def serve(conn, big):
    with conn:
        query = read_query(conn)
        print("QUERY " + query.hex(), flush=True)
        answer(conn, query, big)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lifetime", type=float, default=120.0)
    parser.add_argument("--big", type=int, default=2 * 1024 * 1024)
    args = parser.parse_args()
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(16)
    print(f"PORT {server.getsockname()[1]}", flush=True)
    deadline = time.monotonic() + args.lifetime
    while time.monotonic() < deadline:
        ready, _, _ = select.select([sys.stdin, server], [], [], 1.0)
        if sys.stdin in ready and not sys.stdin.buffer.read1(4096):
            break
        if server in ready:
            conn, _ = server.accept()
            threading.Thread(target=serve, args=(conn, args.big), daemon=True).start()
    server.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
