"""Hetzner DNS Console API v1: the token in the Auth-API-Token header; errors as {"message"} or {"error":
{"message", "code"}}; zones by ?name=; records by ?zone_id= (all at once without ?per_page=), names relative
("@" for the zone); a PUT takes the whole record (name, type, value, zone_id)."""
ZONE_ID = "HBjzgBz8CuVFsyPN3kDMAq"


def authorized(r):
    return r.headers.get("Auth-API-Token") == r.secret


UNAUTHORIZED = (401, {"message": "Invalid authentication credentials"})
RATE_LIMITED = (429, {"message": "API rate limit exceeded"})
NOT_FOUND = {"error": {"message": "not found", "code": 404}}


def shown(zone, record):
    return {"id": f"rec{record['id']}", "type": record["type"], "name": zone.relative(record["name"]),
            "value": record["content"], "ttl": record["ttl"], "zone_id": ZONE_ID}


def records(zone, r):
    if r.query.get("zone_id") != ZONE_ID:
        return 404, {"error": {"message": "zone not found", "code": 404}}
    return 200, {"records": [shown(zone, x) for x in zone.records]}  # all of them: no per_page was asked


def write(zone, r):
    body = r.json
    if body.get("zone_id") != ZONE_ID or not all(body.get(k) for k in ("name", "type", "value")):
        return 422, {"error": {"message": "422 Unprocessable Entity: missing or wrong field", "code": 422}}
    found = [x for x in zone.records if f"rec{x['id']}" == r.groups.get("id")]
    record = found[0] if found else zone.add(zone.absolute(body["name"]), body["type"], body["value"], body.get("ttl"))
    record.update(name=zone.absolute(body["name"]), content=body["value"])
    return 200, {"record": shown(zone, record)}


ROUTES = [
    ("GET", "/api/v1/zones", lambda zone, r: (200, {"zones": [{"id": ZONE_ID, "name": zone.name}] if r.query.get(
        "name") == zone.name else [], "meta": {"pagination": {"page": 1, "per_page": 100, "last_page": 1}}})),
    ("GET", "/api/v1/records", records),
    ("POST", "/api/v1/records", write),
    ("PUT", "/api/v1/records/(?P<id>\\w+)", write),
]
