#!/usr/bin/python3
"""DNS or STUN on 127.0.0.1 (or --listen ADDRESS:PORT) answering --address, or --fault wrong-id, truncated, servfail,
no-address, delay:S, silent, bad-tsig (DNS: the request sent back as its answer, under the request's own TSIG),
garbage (64,000 random bytes).
Prints "PORT <port>", then "QUERY <bytes>" per datagram."""
import argparse
import ipaddress
import os
import socket
import struct
import threading
import time

from peerlib import emit, wait_for_end

COOKIE = 0x2112A442


def dns_reply(query, fault, address):
    if fault in ("bad-tsig", "garbage"):
        return query[:2] + bytes([query[2] | 0x80]) + query[3:] if fault == "bad-tsig" else os.urandom(64000)
    ident = struct.unpack("!H", query[:2])[0] ^ (0x5555 if fault == "wrong-id" else 0)
    end = query.index(b"\0", 12) + 5
    qtype, qclass = struct.unpack("!HH", query[end - 4:end])
    flags = {"truncated": 0x8380, "servfail": 0x8182}.get(fault, 0x8180)
    rdata = {1: ipaddress.IPv4Address(address).packed, 28: ipaddress.IPv6Address("2001:db8::9").packed}.get(
        qtype, bytes([len(address)]) + address.encode())
    answer = b"\xc0\x0c" + struct.pack("!HHIH", qtype, qclass, 60, len(rdata)) + rdata
    ancount = int(fault != "servfail")
    return struct.pack("!6H", ident, flags, 1, ancount, 0, 0) + query[12:end] + answer * ancount


def stun_reply(request, fault, address):
    ident = request[8:20]
    xored = bytes(a ^ b for a, b in zip(ipaddress.IPv4Address(address).packed, struct.pack("!I", COOKIE)))
    attribute = struct.pack("!HHBBH", 0x0020, 8, 0, 1, 40000 ^ (COOKIE >> 16)) + xored
    attribute = struct.pack("!HH", 0x8022, 4) + b"peer" if fault == "no-address" else attribute  # SOFTWARE only
    ident = bytes(b ^ 0xFF for b in ident) if fault == "wrong-id" else ident
    return struct.pack("!HHI", 0x0101, len(attribute), COOKIE) + ident + attribute


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--protocol", choices=["dns", "stun"], required=True)
    parser.add_argument("--fault", default="none")
    parser.add_argument("--address", default="203.0.113.9")
    parser.add_argument("--listen", default="127.0.0.1:0")
    args = parser.parse_args()
    delay = float(args.fault.split(":", 1)[1]) if args.fault.startswith("delay:") else 0.0
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    host, port = args.listen.rsplit(":", 1)
    sock.bind((host, int(port)))

    def answer(data, peer):
        try:
            reply = (dns_reply if args.protocol == "dns" else stun_reply)(data, args.fault, args.address)
        except (ValueError, struct.error):
            return
        time.sleep(delay)
        sock.sendto(reply, peer)

    def serve():
        while True:
            data, peer = sock.recvfrom(2048)
            emit("QUERY %d" % len(data))
            if args.fault != "silent":
                threading.Thread(target=answer, args=(data, peer), daemon=True).start()

    threading.Thread(target=serve, daemon=True).start()
    emit("PORT %d" % sock.getsockname()[1])
    wait_for_end(600)


if __name__ == "__main__":
    main()
