"""ClouDNS: auth-id and auth-password among the parameters of every request (--secret ID:PASSWORD; sent here as a
POSTed form); records.json?domain-name=&host=&type= gives the records by id ([] when there are none); add-record.json
and mod-record.json write one. Every answer is a 200: a refusal is {"status": "Failed", "statusDescription": ...}."""
from urllib.parse import parse_qs

TTLS = (60, 300, 900, 1800, 3600, 21600, 43200, 86400, 172800, 259200, 604800, 1209600, 2419200)


def form(r):
    return {k: v[0] for k, v in parse_qs(r.raw, keep_blank_values=True).items()}


def authorized(r):
    return f"{form(r).get('auth-id')}:{form(r).get('auth-password')}" == r.secret


def failed(text):
    return 200, {"status": "Failed", "statusDescription": text}


UNAUTHORIZED = failed("Invalid authentication, incorrect auth-id or auth-password.")
RATE_LIMITED = failed("Request blocked, 127.0.0.1 is sending more than 20 requests per second.")  # no 429, no time


def records(zone, r):
    f = form(r)
    found = zone.find(zone.absolute(f.get("host") or "@"), f.get("type")) if f["domain-name"] == zone.name else []
    return 200, {x["id"]: {"id": x["id"], "type": x["type"], "host": zone.relative(x["name"]).strip("@"),
                           "record": x["content"], "failover": "0", "ttl": str(x["ttl"]), "status": 1}
                 for x in found} or []


def write(zone, r):
    f = form(r)
    if f.get("domain-name") != zone.name:
        return failed("Missing domain-name")
    if int(f.get("ttl", 0)) not in TTLS:
        return failed("Invalid TTL. Choose from the list of the values we support.")
    if r.path.endswith("/add-record.json"):
        made = zone.add(zone.absolute(f["host"] or "@"), f["record-type"], f["record"], int(f["ttl"]))
        return 200, {"status": "Success", "statusDescription": "The record was added successfully.",
                     "data": {"id": int(made["id"])}}
    found = zone.find(id=f.get("record-id"))
    if not found:
        return failed("Invalid record-id param.")
    found[0].update(name=zone.absolute(f["host"] or "@"), content=f["record"], ttl=int(f["ttl"]))
    return 200, {"status": "Success", "statusDescription": "The record was modified successfully."}


ROUTES = [("POST", "/dns/records.json", records), ("POST", "/dns/(add|mod)-record.json", write)]
