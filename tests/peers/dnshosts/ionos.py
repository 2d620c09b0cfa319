"""IONOS DNS API: "X-API-Key: prefix.secret"; GET /zones lists the zones; GET /zones/{id}?recordName=&recordType= the
zone with those records; POST /zones/{id}/records a list of new records; PUT /zones/{id}/records/{recordId} one record.
Failures are a list of {"code", "message"}."""
ZONE_ID = "11af3414-ebba-11e9-8df5-66fbe8a334b4"


def authorized(r):
    return r.headers.get("X-API-Key") == r.secret


UNAUTHORIZED = (401, [{"code": "UNAUTHORIZED", "message": "The customer is not authorized to do this operation."}])
NOT_FOUND = [{"code": "NOT_FOUND", "message": "Zone not found."}]


def shown(zone, record):
    return {**record, "rootName": zone.name, "prio": 0, "disabled": False, "changeDate": "2026-12-08T03:00:00.000Z"}


def records(zone, r):
    found = zone.find(r.query.get("recordName"), r.query.get("recordType") or None)
    return 200, {"name": zone.name, "id": ZONE_ID, "type": "NATIVE", "records": [shown(zone, x) for x in found]}


def create(zone, r):
    made = [zone.add(x["name"], x["type"], x["content"], x.get("ttl", 3600)) for x in r.json]
    return 201, [shown(zone, x) for x in made]


def change(zone, r):
    found = zone.find(id=r.groups["id"])
    if not found:
        return 404, [{"code": "RECORD_NOT_FOUND", "message": "Record does not exist."}]
    found[0].update(content=r.json["content"], ttl=r.json.get("ttl", found[0]["ttl"]))
    return 200, shown(zone, found[0])


ROUTES = [
    ("GET", "/dns/v1/zones", lambda zone, r: (200, [{"name": zone.name, "id": ZONE_ID, "type": "NATIVE"}])),
    ("GET", f"/dns/v1/zones/{ZONE_ID}", records),
    ("POST", f"/dns/v1/zones/{ZONE_ID}/records", create),
    ("PUT", f"/dns/v1/zones/{ZONE_ID}/records/(?P<id>[\\w-]+)", change),
]
