#!/usr/bin/python3
"""A DNS or STUN server on 127.0.0.1 that answers with a documentation address, or wrongly on purpose.

--protocol dns answers every question (any class, A/AAAA/TXT) with 203.0.113.9 / 2001:db8::9;
--protocol stun answers Binding requests with XOR-MAPPED-ADDRESS 203.0.113.9 (or --address).
--fault is one of: none, wrong-id, wrong-question, truncated, loop, nxdomain, servfail, no-answer (DNS);
wrong-id, wrong-cookie, bad-length, no-address, bad-family, mapped-only (STUN); delay:SECONDS, silent (both).
Prints "PORT <port>"; stops when standard input closes or after --lifetime seconds.
"""
import argparse
import ipaddress
import socket
import struct
import sys
import threading
import time

from peerlib import emit, wait_for_end

COOKIE = 0x2112A442


def dns_reply(query, fault, v4, v6):
    ident, _flags, _qd = struct.unpack("!HHH", query[:6])
    end = 12
    while query[end] != 0:
        end += query[end] + 1
    name, (qtype, qclass) = query[12:end + 1], struct.unpack("!HH", query[end + 1:end + 5])
    flags, rcode, ancount = 0x8180, 0, 1
    if fault == "wrong-id":
        ident ^= 0x5555
    if fault == "wrong-question":
        name = b"\x05other\x04test\x00"
    if fault == "truncated":
        flags |= 0x0200
    if fault == "nxdomain":
        rcode, ancount = 3, 0
    if fault == "servfail":
        rcode, ancount = 2, 0
    if fault == "no-answer":
        ancount = 0
    if qtype == 1:
        rdata = ipaddress.IPv4Address(v4).packed
    elif qtype == 28:
        rdata = ipaddress.IPv6Address(v6).packed
    else:
        text = v4.encode()
        rdata = bytes([len(text)]) + text
    header = struct.pack("!HHHHHH", ident, flags | rcode, 1, ancount, 0, 0)
    question = name + struct.pack("!HH", qtype, qclass)
    owner = b"\xc0\x0c"
    if fault == "loop":
        owner = struct.pack("!H", 0xC000 | (12 + len(question)))  # a pointer to itself
    answer = owner + struct.pack("!HHIH", qtype, qclass, 60, len(rdata)) + rdata
    return header + question + (answer if ancount else b"")


def stun_reply(request, fault, address):
    _type, _length, cookie = struct.unpack("!HHI", request[:8])
    ident = request[8:20]
    if fault == "wrong-id":
        ident = bytes(b ^ 0xFF for b in ident)
    if fault == "wrong-cookie":
        cookie ^= 0xFFFFFFFF
    ip = ipaddress.ip_address(address)
    port = 40000
    family = 1 if ip.version == 4 else 2
    if fault == "mapped-only":
        value = struct.pack("!BBH", 0, family, port) + ip.packed
        attributes = struct.pack("!HH", 0x0001, len(value)) + value
    else:
        mask = struct.pack("!I", COOKIE) + request[8:20]
        xored = bytes(a ^ b for a, b in zip(ip.packed, mask))
        value = struct.pack("!BBH", 0, 3 if fault == "bad-family" else family, port ^ (COOKIE >> 16)) + xored
        attributes = struct.pack("!HH", 0x0020, len(value)) + value
    if fault == "no-address":
        attributes = struct.pack("!HH", 0x8022, 4) + b"peer"  # SOFTWARE only
    if fault == "bad-length":
        attributes = struct.pack("!HH", 0x0020, 200) + attributes[4:]
    return struct.pack("!HHI", 0x0101, len(attributes), cookie) + ident + attributes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--protocol", choices=["dns", "stun"], required=True)
    parser.add_argument("--fault", default="none")
    parser.add_argument("--address", default="203.0.113.9")
    parser.add_argument("--address6", default="2001:db8::9")
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()
    delay = float(args.fault.split(":", 1)[1]) if args.fault.startswith("delay:") else 0.0
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 0))

    def answer(data, peer):
        try:
            if args.protocol == "dns":
                reply = dns_reply(data, args.fault, args.address, args.address6)
            else:
                reply = stun_reply(data, args.fault, args.address)
        except (IndexError, struct.error):
            return
        if delay:
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
    wait_for_end(args.lifetime)


if __name__ == "__main__":
    main()
