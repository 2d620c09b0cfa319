"""Hetzner Cloud API v1, zones and their record sets: a bearer token; errors as {"error": {"code", "message"}}; a
set read by /zones/<zone>/rrsets/<name>/<type> (name relative, "@" for the zone; 404 when there is none), created
with POST, its values replaced by the set_records action; writes answer with an action."""
SET = "/v1/zones/example.com/rrsets/(?P<name>[^/]+)/(?P<type>\\w+)"
ACTION = {"id": 13, "command": "set_rrset_records", "status": "running", "progress": 0, "error": None}


def authorized(r):
    return r.headers.get("Authorization") == f"Bearer {r.secret}"


UNAUTHORIZED = (401, {"error": {"code": "unauthorized", "message": "unable to authenticate", "details": {}}})
RATE_LIMITED = (429, {"error": {"code": "rate_limit_exceeded", "message": "limit of 3600 requests per hour reached"}})
NOT_FOUND = {"error": {"code": "not_found", "message": "RRSet not found", "details": {}}}


def rrset(zone, name, type):
    found = zone.find(zone.absolute(name), type)
    return {"id": f"{name}/{type}", "name": name, "type": type, "ttl": found[0]["ttl"] if found else None,
            "records": [{"value": x["content"], "comment": ""} for x in found]} if found else None


def read(zone, r):
    found = rrset(zone, r.groups["name"], r.groups["type"])
    return (200, {"rrset": found}) if found else (404, NOT_FOUND)


def create(zone, r):
    if rrset(zone, r.json["name"], r.json["type"]):
        return 409, {"error": {"code": "uniqueness_error", "message": "RRSet already exists", "details": {}}}
    zone.set(zone.absolute(r.json["name"]), r.json["type"], [x["value"] for x in r.json["records"]], r.json.get("ttl"))
    return 201, {"rrset": rrset(zone, r.json["name"], r.json["type"]), "action": {**ACTION, "command": "create_rrset"}}


def set_records(zone, r):
    if not rrset(zone, r.groups["name"], r.groups["type"]):
        return 404, NOT_FOUND
    zone.set(zone.absolute(r.groups["name"]), r.groups["type"], [x["value"] for x in r.json["records"]])
    return 201, {"action": ACTION}


ROUTES = [("GET", SET, read), ("POST", "/v1/zones/example.com/rrsets", create),
          ("POST", SET + "/actions/set_records", set_records)]
