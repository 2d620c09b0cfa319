#!/usr/bin/python3
"""DNS or STUN on 127.0.0.1 (or --listen ADDRESS:PORT) answering --address (DNS AAAA: --address6), or --fault
wrong-id, truncated, servfail, no-address, delay:S, silent, garbage (64,000 random bytes).
DNS requests signed with the key vistrel-key (hmac-sha256) get signed answers, or with --fault: unsigned (no TSIG),
unsigned-servfail, other-key (signed with another secret), tsig-badsig (TSIG error BADSIG, MAC all zeros),
unsigned-update (queries answered signed and empty, the update answered unsigned).
Prints "PORT <port>", then "QUERY <bytes>" per datagram."""
import argparse
import base64
import hashlib
import hmac
import ipaddress
import os
import socket
import struct
import threading
import time

from peerlib import emit, wait_for_end

COOKIE = 0x2112A442
KEYS = {"key": base64.b64decode("c2VjcmV0LWtleS1mb3ItdmlzdHJlbC10ZXN0cy0wMDE="),
        "other": base64.b64decode("b3RoZXIta2V5LWZvci12aXN0cmVsLXRlc3RzLTAwMDI=")}


def tsig(message, request, secret, error=0):
    """message with a TSIG record for the request's (RFC 8945 4.3.3); its MAC all zeros without a secret."""
    name, algorithm = b"\x0bvistrel-key\x00", b"\x0bhmac-sha256\x00"
    timers = struct.pack("!HIH", 0, int(time.time()), 300)
    variables = name + struct.pack("!HI", 255, 0) + algorithm + timers + struct.pack("!HH", error, 0)
    # The request's MAC, length first: its TSIG ends with MAC size, 32 bytes of MAC, original ID, error, other length.
    mac = hmac.new(secret, request[-40:-6] + message + variables, hashlib.sha256).digest() if secret else bytes(32)
    rdata = algorithm + timers + struct.pack("!H", len(mac)) + mac + message[:2] + struct.pack("!HH", error, 0)
    arcount = struct.unpack("!H", message[10:12])[0] + 1
    return (message[:10] + struct.pack("!H", arcount) + message[12:] + name +
            struct.pack("!HHIH", 250, 255, 0, len(rdata)) + rdata)


def dns_reply(query, fault, address, address6):
    if fault == "garbage":
        return os.urandom(64000)
    ident = struct.unpack("!H", query[:2])[0] ^ (0x5555 if fault == "wrong-id" else 0)
    end = query.index(b"\0", 12) + 5
    qtype, qclass = struct.unpack("!HH", query[end - 4:end])
    update = query[2] & 0x78 == 0x28
    flags = {"truncated": 0x8380, "servfail": 0x8182, "unsigned-servfail": 0x8182}.get(fault, 0x8180)
    flags = 0xA800 if update else flags  # QR and opcode UPDATE
    rdata = {1: ipaddress.IPv4Address(address).packed, 28: ipaddress.IPv6Address(address6).packed}.get(
        qtype, bytes([len(address)]) + address.encode())
    answer = b"\xc0\x0c" + struct.pack("!HHIH", qtype, qclass, 60, len(rdata)) + rdata
    ancount = int(fault not in ("servfail", "unsigned-servfail", "unsigned-update") and not update)
    reply = struct.pack("!6H", ident, flags, 1, ancount, 0, 0) + query[12:end] + answer * ancount
    # A TSIG record (type 250, class ANY, TTL 0) with a 32-byte MAC.
    signed = b"\x00\xfa\x00\xff\x00\x00\x00\x00" in query and query[-40:-38] == b"\x00\x20"
    if not signed or fault in ("unsigned", "unsigned-servfail") or (fault == "unsigned-update" and update):
        return reply
    if fault == "tsig-badsig":
        return tsig(reply, query, None, 16)
    return tsig(reply, query, KEYS["other" if fault == "other-key" else "key"])


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
    parser.add_argument("--address6", default="2001:db8::9")
    parser.add_argument("--listen", default="127.0.0.1:0")
    args = parser.parse_args()
    delay = float(args.fault.split(":", 1)[1]) if args.fault.startswith("delay:") else 0.0
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    host, port = args.listen.rsplit(":", 1)
    sock.bind((host, int(port)))

    def answer(data, peer):
        try:
            if args.protocol == "dns":
                reply = dns_reply(data, args.fault, args.address, args.address6)
            else:
                reply = stun_reply(data, args.fault, args.address)
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
