#!/usr/bin/python3
"""A DNS host's API for one zone, as the provider's documentation describes it: the provider's table
(tests/peers/dnshosts/<provider>.py) says how it authenticates, what its routes take and how they answer; this
program keeps the records and the faults. Options: --provider NAME, --secret S (the credentials it takes; a table
may read several, joined by ":"), --zone NAME, --record TYPE:NAME:CONTENT (repeatable), --fault 429 (every
authenticated request answered as the provider answers too many requests, Retry-After: 30) or slow (every answer
2 s late).
Prints "PORT <port>", one line "REQUEST <json: method, path, body>" per request and, when standard input closes,
"RECORDS <json list>" with the records as they are then.
A test that runs many cases against one peer starts each with POST /peer/case {"provider", "secret", "records",
"fault"} (as the options), and learns from GET /peer/case {"records", "methods": "GET POST ..."} what the requests
since then did; an answer that a late fault held back past the case's end is never given."""
import argparse, importlib, json, os, re, sys, threading, time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "dnshosts"))
from peerlib import emit, wait_for_end


class Zone:
    """The records of the zone; ids are numbers as texts, in the order the records were made."""

    def __init__(self, name, records):
        self.name, self.records, self.last_id = name, [], 100
        for spec in records:
            kind, owner, content = spec.split(":", 2)
            self.add(owner, kind, content, 300)

    def find(self, name=None, type=None, id=None):
        return [r for r in self.records if (name is None or r["name"] == name.rstrip(".").lower())
                and (type is None or r["type"] == type) and (id is None or r["id"] == str(id))]

    def add(self, name, type, content, ttl=300):
        self.last_id += 1
        record = {"id": str(self.last_id), "name": name.rstrip(".").lower(), "type": type, "content": content,
                  "ttl": ttl or 300}
        self.records.append(record)
        return record

    def set(self, name, type, contents, ttl=300):
        """Replaces the record set of a name and type (the APIs that write whole sets)."""
        self.records = [r for r in self.records if not (r["name"] == name.rstrip(".").lower() and r["type"] == type)]
        return [self.add(name, type, content, ttl) for content in contents]

    def relative(self, name):
        name = name.rstrip(".").lower()
        return "@" if name == self.name else name[: -len(self.name) - 1] if name.endswith("." + self.name) else name

    def absolute(self, name):
        return self.name if name in ("@", "") else name if name.endswith(self.name) else f"{name}.{self.name}"


class Request:
    def __init__(self, handler, groups, body, secret):
        self.method, self.headers, self.groups, self.raw = handler.command, handler.headers, groups, body
        self.query = {k: v[0] for k, v in parse_qs(urlsplit(handler.path).query, keep_blank_values=True).items()}
        self.path, self.target = urlsplit(handler.path).path, handler.path
        self.secret = secret
        try:
            self.json = json.loads(body) if body else None
        except ValueError:
            self.json = None


class Api(BaseHTTPRequestHandler):
    def answer(self, status, body, headers=()):
        if isinstance(body, (dict, list)):
            body, kind = json.dumps(body).encode(), "application/json"
        else:
            body, kind = (body if isinstance(body, bytes) else str(body).encode()), "text/plain"
            kind = "text/xml" if body.startswith(b"<") else kind
        self.send_response(status)
        for header in (("Content-Type", kind), ("Content-Length", str(len(body))), *headers):
            self.send_header(*header)
        self.end_headers()
        self.wfile.write(body)

    def handle_any(self):
        server, case = self.server, self.server.case
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0)).decode()
        if self.path == "/peer/case":
            if self.command == "POST":
                server.case = Case(**json.loads(body))
                return self.answer(200, {})
            with server.lock:
                return self.answer(200, {"records": case.zone.records, "methods": " ".join(case.methods)})
        emit("REQUEST " + json.dumps({"method": self.command, "path": self.path, "body": body}))
        case.methods.append(self.command)
        path, table = urlsplit(self.path).path, case.table
        time.sleep(2 if case.fault == "slow" else 0)
        if case is not server.case:
            return
        for method, pattern, handle in table.ROUTES:
            match = re.fullmatch(pattern, path)
            if match and method == self.command:
                request = Request(self, match.groupdict(), body, case.secret)
                if not table.authorized(request):
                    return self.answer(*table.UNAUTHORIZED)
                if case.fault == "429":
                    status, answer = getattr(table, "RATE_LIMITED", (429, {"message": "Too many requests"}))
                    return self.answer(status, answer, [("Retry-After", "30")])
                with server.lock:
                    return self.answer(*handle(case.zone, request))
        return self.answer(404, getattr(table, "NOT_FOUND", {"message": "no such route"}))

    do_GET = do_POST = do_PUT = do_PATCH = do_DELETE = handle_any

    def log_message(self, *args):
        pass


class Case:
    """What the peer answers as: the provider's table, the secret it takes, the zone and the fault."""

    def __init__(self, provider, secret="test-secret", zone="example.com", records=(), fault="none"):
        self.table, self.secret, self.fault = importlib.import_module(provider), secret, fault
        self.zone, self.methods = Zone(zone, records), []


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--provider", required=True)
    parser.add_argument("--secret", default="test-secret")
    parser.add_argument("--zone", default="example.com")
    parser.add_argument("--record", action="append", default=[])
    parser.add_argument("--fault", default="none")
    parser.add_argument("--lifetime", type=float, default=600)
    options = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Api)
    server.case = Case(options.provider, options.secret, options.zone, options.record, options.fault)
    server.lock = threading.Lock()
    threading.Thread(target=server.serve_forever, daemon=True).start()
    emit(f"PORT {server.server_address[1]}")
    wait_for_end(options.lifetime)
    server.shutdown()
    emit("RECORDS " + json.dumps(server.case.zone.records))


if __name__ == "__main__":
    main()
