#!/usr/bin/python3
"""A router on one interface: sends IPv6 router advertisements (RFC 4861 section 4.2) from it, each line of stdin one
advertisement: prefixes as "PREFIX/64 PREFERRED VALID", apart by ";" ("2001:db8:2::/64 14400 86400;2001:db8:1::/64 0
86400": a new prefix, the old one withdrawn). Answers "SENT" to each; stops when stdin closes.
Usage: ra_peer.py INTERFACE (run inside the router's network namespace)."""
import errno, ipaddress, socket, struct, sys, time

ALL_NODES = "ff02::1"


def advertisement(prefixes):
    # Type 134, code 0, checksum (the kernel fills it in), hop limit 64, no flags, router lifetime 1800 s.
    packet = struct.pack("!BBHBBHII", 134, 0, 0, 64, 0, 1800, 0, 0)
    for text in prefixes.split(";"):
        network, preferred, valid = text.split()
        prefix = ipaddress.IPv6Network(network)
        # Prefix information (section 4.6.2): on-link and autonomous.
        packet += struct.pack("!BBBBIII", 3, 4, prefix.prefixlen, 0xC0, int(valid), int(preferred), 0)
        packet += prefix.network_address.packed
    return packet


def main():
    interface = sys.argv[1]
    index = socket.if_nametoindex(interface)
    with socket.socket(socket.AF_INET6, socket.SOCK_RAW, socket.IPPROTO_ICMPV6) as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, interface.encode())
        s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_MULTICAST_HOPS, 255)  # hosts take only 255 (section 6.1.2)
        s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_MULTICAST_IF, index)
        print("READY", flush=True)
        for line in sys.stdin:
            if line.strip():
                for _ in range(50):  # the link-local source address comes once the link is up at both ends
                    try:
                        s.sendto(advertisement(line.strip()), (ALL_NODES, 0, 0, index))
                        break
                    except OSError as e:
                        if e.errno != errno.EADDRNOTAVAIL:
                            raise
                        time.sleep(0.1)
                print("SENT", flush=True)


main()
