#!/usr/bin/python3
"""A primary for the zone example.test on 127.0.0.1: `bind` (named) or `knot` (knotd), with two TSIG keys
(hmac-sha256): KEY may update home, big and nas.example.test (A, AAAA), OTHER is known but may update nothing. The
zone starts with home A 198.51.100.1 and big with 40 A records (an answer too long for UDP without EDNS). Prints "PORT <port>" once it answers; stops when stdin closes."""
import os, shutil, socket, struct, subprocess, sys, tempfile, time
from peerlib import emit, free_port, wait_for_end

KEY = ("vistrel-key", "c2VjcmV0LWtleS1mb3ItdmlzdHJlbC10ZXN0cy0wMDE=")
OTHER = ("other-key", "b3RoZXIta2V5LWZvci12aXN0cmVsLXRlc3RzLTAwMDI=")
ZONE = """$TTL 300
@ IN SOA ns.example.test. admin.example.test. 1 3600 600 86400 300
@ IN NS ns.example.test.
ns IN A 127.0.0.1
home IN A 198.51.100.1
""" + "".join(f"big IN A 198.51.100.{n}\n" for n in range(10, 50))


def bind(work, port):
    keys = "".join(f'key "{n}" {{ algorithm hmac-sha256; secret "{s}"; }};\n' for n, s in (KEY, OTHER))
    with open(os.path.join(work, "named.conf"), "w") as conf:
        conf.write(keys + f"""options {{ directory "{work}"; pid-file "{work}/pid"; listen-on port {port} {{ 127.0.0.1; }};
  listen-on-v6 {{ none; }}; recursion no; dnssec-validation no; session-keyfile "{work}/session.key"; }};
controls {{ }};
zone "example.test" {{ type primary; file "{work}/example.test.zone";
  update-policy {{ grant {KEY[0]} name home.example.test. A AAAA; grant {KEY[0]} name big.example.test. A AAAA;
  grant {KEY[0]} name nas.example.test. A AAAA; }}; }};
""")
    return ["named", "-g", "-c", os.path.join(work, "named.conf")]


def knot(work, port):
    keys = "".join(f"  - id: {n}\n    algorithm: hmac-sha256\n    secret: {s}\n" for n, s in (KEY, OTHER))
    with open(os.path.join(work, "knot.conf"), "w") as conf:
        conf.write(f"""server:
  rundir: {work}
  listen: 127.0.0.1@{port}
log:
  - target: stderr
    any: info
database:
  storage: {work}
key:
{keys}acl:
  - id: update
    key: {KEY[0]}
    action: update
  - id: other
    key: {OTHER[0]}
    action: transfer
template:
  - id: default
    storage: {work}
    file: "%s.zone"
zone:
  - domain: example.test
    acl: [update, other]
""")
    return ["knotd", "-c", os.path.join(work, "knot.conf")]


def answers(port):
    probe = struct.pack("!6H", 0x4243, 0, 1, 0, 0, 0) + b"\x07example\x04test\x00" + struct.pack("!HH", 6, 1)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(0.2)
        try:
            s.sendto(probe, ("127.0.0.1", port))
            return s.recv(4096)[:2] == b"\x42\x43"
        except OSError:
            return False


def main():
    server = sys.argv[1]
    work = tempfile.mkdtemp(prefix="vistrel-dns-")
    with open(os.path.join(work, "example.test.zone"), "w") as zone:
        zone.write(ZONE)
    port = free_port()
    log = open(os.path.join(work, "server.log"), "w")  # shown when it does not start
    process = subprocess.Popen((bind if server == "bind" else knot)(work, port), stdout=log, stderr=log,
                               stdin=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 20
        while not answers(port):
            if process.poll() is not None or time.monotonic() > deadline:
                emit("FAILED " + open(log.name).read()[-2000:].replace("\n", " | "))
                return
            time.sleep(0.1)
        emit(f"PORT {port}")
        wait_for_end(300)
    finally:
        process.terminate()
        process.wait(10)
        shutil.rmtree(work, ignore_errors=True)


main()
