#!/usr/bin/python3
"""mosquitto on 127.0.0.1: a plain listener and a TLS one (server certificate for "localhost" only, from a CA made
here), user alice with password --password, no anonymous clients. Also makes a second CA that signed nothing.
With --huge-publish, a broker of its own besides (port HUGE) answers CONNECT with a CONNACK and a PUBLISH announced
as 256 MiB, and sends its bytes until the client goes.
Prints "PORT <plain> TLS <tls> CA <ca.pem> OTHERCA <other.pem> [HUGE <port>]"; stops when stdin closes or after
--lifetime."""
import argparse, os, shutil, socket, subprocess, tempfile, threading, time

from peerlib import emit, free_port, wait_for_end

CONFIG = """per_listener_settings false
allow_anonymous false
password_file {work}/passwd
persistence false
user root
log_dest file {work}/mosquitto.log
listener {port} 127.0.0.1
listener {tls} 127.0.0.1
cafile {work}/ca.pem
certfile {work}/server.pem
keyfile {work}/server.key
"""


def openssl(work, *args):
    subprocess.run(["openssl", *args], cwd=work, check=True, capture_output=True)


def make_certificates(work):
    for ca in ("ca", "other"):
        openssl(work, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-days", "2",
                "-subj", f"/CN=Vistrel test {ca}", "-keyout", f"{ca}.key", "-out", f"{ca}.pem")
    openssl(work, "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-subj", "/CN=localhost",
            "-keyout", "server.key", "-out", "server.csr")
    with open(os.path.join(work, "san.ext"), "w") as f:
        f.write("subjectAltName=DNS:localhost\n")
    openssl(work, "x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "2", "-extfile", "san.ext", "-out", "server.pem")


def flood(client):
    with client:
        try:
            client.recv(4096)  # CONNECT
            client.sendall(b"\x20\x02\x00\x00" + b"\x30\xff\xff\xff\x7f\x00\x01t")  # remaining length 2^28 - 1
            chunk = bytes(1 << 20)
            for _ in range(256):
                client.sendall(chunk)
        except OSError:
            pass


def huge_publish_broker():
    listener = socket.create_server(("127.0.0.1", 0))

    def serve():
        while True:
            threading.Thread(target=flood, args=(listener.accept()[0],), daemon=True).start()

    threading.Thread(target=serve, daemon=True).start()
    return f" HUGE {listener.getsockname()[1]}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--password", default="s3cret-Pw")
    parser.add_argument("--lifetime", type=float, default=600.0)
    parser.add_argument("--huge-publish", action="store_true")
    args = parser.parse_args()
    huge = huge_publish_broker() if args.huge_publish else ""
    work = tempfile.mkdtemp(prefix="vistrel-mosquitto-")
    make_certificates(work)
    subprocess.run(["mosquitto_passwd", "-b", "-c", f"{work}/passwd", "alice", args.password], check=True,
                   capture_output=True)
    for _ in range(5):  # another program may take a free port before mosquitto does
        port, tls = free_port(), free_port()
        with open(os.path.join(work, "mosquitto.conf"), "w") as f:
            f.write(CONFIG.format(work=work, port=port, tls=tls))
        broker = subprocess.Popen([shutil.which("mosquitto") or "/usr/sbin/mosquitto", "-c", f"{work}/mosquitto.conf"],
                                  stdin=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while broker.poll() is None and time.monotonic() < deadline:
            try:
                for p in (port, tls):
                    socket.create_connection(("127.0.0.1", p), timeout=1).close()
            except OSError:
                time.sleep(0.02)
                continue
            emit(f"PORT {port} TLS {tls} CA {work}/ca.pem OTHERCA {work}/other.pem{huge}")
            wait_for_end(args.lifetime)
            break
        broker.kill()
        if broker.wait() == -9:  # it ran and was stopped here
            break
    else:
        emit("FAILED")
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
