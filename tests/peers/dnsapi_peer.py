#!/usr/bin/python3
"""The DNS host's web API as its reference documents it, for one zone: GET /client/v4/zones?name=, GET
.../zones/ID/dns_records?type=&name=, PATCH .../dns_records/ID and POST .../dns_records, every answer in the envelope
{"success", "errors": [{"code", "message"}], "messages", "result"}. Options: --token T (the bearer token it takes;
another gets 401 code 10000), --zone NAME, --record TYPE:NAME:CONTENT (repeatable), --fault F for every request:
403 (code 9109), 404 (code 7003), 429 (Retry-After: 30), huge (10 MiB), badjson, refused (200 with success false),
echo (401 whose message repeats the Authorization header), echo-cut (the token JSON-escaped at character 112),
slow (each answer 2 s late).
Prints "PORT <port>", then one line "REQUEST <json: method, path, authorization, body>" per request; stops when
standard input closes."""
import argparse, json, threading, time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

from peerlib import emit, wait_for_end

ZONE_ID = "023e105f4ecef8ad9ca31a8372d0c353"
FAULTS = {"403": (403, 9109, "Unauthorized to access requested resource"),
          "404": (404, 7003, "Could not route to /zones, perhaps your object identifier is invalid?"),
          "429": (429, 971, "Please wait and consider throttling your request speed"),
          "refused": (200, 1004, "DNS Validation Error")}


class Api(BaseHTTPRequestHandler):
    def answer(self, status, result=None, error=None, raw=None, headers=()):
        body = raw if raw is not None else json.dumps(
            {"success": error is None, "errors": [{"code": error[0], "message": error[1]}] if error else [],
             "messages": [], "result": result}).encode()
        self.send_response(status)
        for header in (("Content-Type", "application/json"), ("Content-Length", str(len(body))), *headers):
            self.send_header(*header)
        self.end_headers()
        self.wfile.write(body)

    def handle_any(self):
        url = urlsplit(self.path)
        query = {k: v[0] for k, v in parse_qs(url.query).items()}
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0)).decode()
        auth = self.headers.get("Authorization", "")
        emit("REQUEST " + json.dumps({"method": self.command, "path": self.path, "authorization": auth, "body": body}))
        fault, records = self.server.fault, self.server.records
        time.sleep(2 if fault == "slow" else 0)
        if fault.startswith("echo"):  # echo-cut: the token \u-escaped where a message shown is cut
            shown = auth if fault == "echo" else "x" * 87 + "".join(f"\\u{ord(c):04x}" for c in auth[7:])
            body = json.dumps({"success": False, "errors": [{"code": 10000, "message": "Authentication error for @"}]})
            return self.answer(401, raw=body.replace("@", shown).encode())
        if auth != f"Bearer {self.server.token}":
            return self.answer(401, error=(10000, "Authentication error"))
        if fault in FAULTS:
            status, code, message = FAULTS[fault]
            return self.answer(status, error=(code, message), headers=[("Retry-After", "30")] if status == 429 else [])
        if fault in ("huge", "badjson"):
            return self.answer(200, raw=b"x" * (10 << 20) if fault == "huge" else b'{"success": true, "result": [')
        parts = url.path.split("/")[3:]  # after /client/v4
        if parts == ["zones"] and self.command == "GET":
            zone = self.server.zone
            return self.answer(200, [{"id": ZONE_ID, "name": zone, "status": "active"}] if query.get("name") == zone
                               else [])
        if parts[:3] != ["zones", ZONE_ID, "dns_records"]:
            return self.answer(404, error=FAULTS["404"][1:])
        if self.command == "GET":
            return self.answer(200, [r for r in records.values() if all(r[k] == query[k] for k in query)])
        change = json.loads(body)
        if self.command == "POST":
            record = {"id": f"{len(records) + 1:032x}", "ttl": 1, "proxied": False, **change}
            records[record["id"]] = record
            return self.answer(200, record)
        if self.command == "PATCH" and parts[3:4] and parts[3] in records:
            records[parts[3]].update(change)
            return self.answer(200, records[parts[3]])
        return self.answer(404, error=(81044, "Record does not exist."))

    do_GET = do_POST = do_PATCH = handle_any

    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--token", default="test-token")
    parser.add_argument("--zone", default="example.com")
    parser.add_argument("--record", action="append", default=[])
    parser.add_argument("--fault", default="none")
    parser.add_argument("--lifetime", type=float, default=600)
    options = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Api)
    server.token, server.zone, server.fault = options.token, options.zone, options.fault
    server.records = {}
    for n, spec in enumerate(options.record):
        kind, name, content = spec.split(":", 2)
        server.records[f"{n + 100:032x}"] = {"id": f"{n + 100:032x}", "type": kind, "name": name,
                                             "content": content, "ttl": 300, "proxied": True}
    threading.Thread(target=server.serve_forever, daemon=True).start()
    emit(f"PORT {server.server_address[1]}")
    wait_for_end(options.lifetime)
    server.shutdown()


if __name__ == "__main__":
    main()
