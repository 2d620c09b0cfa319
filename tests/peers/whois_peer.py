#!/usr/bin/python3
"""A WHOIS server on 127.0.0.1. Prints "PORT <port>"; for each connection reads one query line, prints "QUERY <hex
of it>" (a line that lacks its CR shows its LF) and answers "query was [<query>]" CR LF, or as --fault says: pieces
(that in 3-byte pieces), hang (one line, then never closes), big (2 MiB); with --refer HOST:PORT it answers as
IANA's server does, "refer: HOST:PORT". Stops when standard input closes."""
import argparse, socket, threading, time
from peerlib import emit, wait_for_end


def serve(conn, fault, refer):
    with conn:
        line = conn.makefile("rb").readline(65536)
        query = line[:-2] if line.endswith(b"\r\n") else line
        emit("QUERY " + query.hex())
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        answer = {"hang": b"first part only\r\n", "big": (b"x" * 1023 + b"\n") * 2048}.get(
            fault, b"query was [" + query + b"]\r\n")
        if refer:
            answer = b"% IANA WHOIS server\r\n\r\nrefer:        " + refer.encode() + b"\r\n"
        step = 3 if fault == "pieces" else len(answer)
        try:
            for start in range(0, len(answer), step):
                conn.sendall(answer[start:start + step])
                time.sleep(0.005)
            time.sleep(3600 if fault == "hang" else 0)
        except OSError:
            pass  # the client stopped reading at its limit


def accept(server, fault, refer):
    while True:
        threading.Thread(target=serve, args=(server.accept()[0], fault, refer), daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--fault", choices=["none", "pieces", "hang", "big"], default="none")
    parser.add_argument("--refer", default="")
    args = parser.parse_args()
    server = socket.create_server(("127.0.0.1", 0))
    threading.Thread(target=accept, args=(server, args.fault, args.refer), daemon=True).start()
    emit(f"PORT {server.getsockname()[1]}")
    wait_for_end(120)


if __name__ == "__main__":
    main()
