#!/usr/bin/python3
"""An RDAP server over HTTPS on 127.0.0.1 (a certificate of its own for 127.0.0.1, its file named in CA). Under
/bootstrap/ the IANA registries (dns.json, ipv4.json, ipv6.json, asn.json) naming this server for "test",
192.0.2.0/24, 2001:db8::/32 and AS64496-64511; under /rdap/ the answers of RFC 9083: domain/example.test,
ip/192.0.2.7, autnum/64500, a body that is no JSON for domain/broken.test, one nested too deeply for
domain/deep.test, 404 for all else. Prints "PORT <port> CA <file>", then "GET <path>" for each request; stops when
stdin closes."""
import http.server, json, os, shutil, ssl, subprocess, tempfile, threading
from peerlib import emit, wait_for_end

EVENTS = [{"eventAction": "registration", "eventDate": "2020-01-01T00:00:00Z"}]
REGISTRAR = {"objectClassName": "entity", "handle": "R-1", "roles": ["registrar"], "events": EVENTS,
             "vcardArray": ["vcard", [["version", {}, "text", "4.0"], ["fn", {}, "text", "Example Registrar"]]]}
ANSWERS = {
    "domain/example.test": {"objectClassName": "domain", "ldhName": "example.test", "handle": "EX-1",
                            "status": ["active", "client transfer prohibited"], "events": EVENTS,
                            "nameservers": [{"objectClassName": "nameserver", "ldhName": "ns1.example.test"},
                                            {"objectClassName": "nameserver", "ldhName": "ns2.example.test"}],
                            "entities": [REGISTRAR], "remarks": [{"title": "Terms", "description": ["Use it well."]}]},
    "ip/192.0.2.7": {"objectClassName": "ip network", "handle": "NET-192-0-2-0-1", "startAddress": "192.0.2.0",
                     "endAddress": "192.0.2.255", "name": "TEST-NET-1", "type": "ASSIGNMENT", "country": "ZZ"},
    "autnum/64500": {"objectClassName": "autnum", "handle": "AS64496", "startAutnum": 64496, "endAutnum": 64511,
                     "name": "DOC-AS"},
}


def main():
    work = tempfile.mkdtemp(prefix="vistrel-rdap-")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-days", "2",
                    "-keyout", "key.pem", "-out", "cert.pem"], cwd=work, check=True, capture_output=True)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), None)
    base = f"https://127.0.0.1:{server.server_address[1]}/rdap/"
    # The http address comes first in the file: the https one is to be chosen all the same.
    registries = {name: {"version": "1.0", "services": [[entries, ["http://127.0.0.1:9/rdap/", base]]]}
                  for name, entries in (("dns", ["test"]), ("ipv4", ["192.0.2.0/24"]), ("ipv6", ["2001:db8::/32"]),
                                        ("asn", ["64496-64511"]))}

    class Handler(http.server.BaseHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def do_GET(self):
            emit("GET " + self.path)
            path, status, kind = self.path, 200, "application/rdap+json"
            if path.startswith("/bootstrap/") and path.endswith(".json") and path[11:-5] in registries:
                body, kind = json.dumps(registries[path[11:-5]]).encode(), "application/json"
            elif path[6:] in ANSWERS:
                body = json.dumps(ANSWERS[path[6:]]).encode()
            elif path == "/rdap/domain/broken.test":
                body = b'{"objectClassName": "domain", "ldhName": "broken'
            elif path == "/rdap/domain/deep.test":
                body = b'{"objectClassName": "domain", "remarks": ' + b"[" * 100 + b"]" * 100 + b"}"
            else:
                status, body = 404, json.dumps({"errorCode": 404, "title": "Not Found"}).encode()
            self.send_response(status)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

    server.RequestHandlerClass = Handler
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(work, "cert.pem"), os.path.join(work, "key.pem"))
    server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    emit(f"PORT {server.server_address[1]} CA {os.path.join(work, 'cert.pem')}")
    wait_for_end(120)
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
