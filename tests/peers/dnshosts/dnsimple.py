"""DNSimple API v2: a bearer token; errors as {"message"}; an account's zone's records filtered by ?name= (relative,
"" for the zone) and ?type=, paged as {"data", "pagination": {"current_page", "total_pages"}}."""
RECORDS = "/v2/1010/zones/example.com/records"


def authorized(r):
    return r.headers.get("Authorization") == f"Bearer {r.secret}"


UNAUTHORIZED = (401, {"message": "Authentication failed"})
RATE_LIMITED = (429, {"message": "Your account has exceeded its hourly rate limit"})
NOT_FOUND = {"message": "Zone `example.org` not found"}


def shown(zone, record):
    name = zone.relative(record["name"])
    return {"id": int(record["id"]), "zone_id": zone.name, "parent_id": None, "name": "" if name == "@" else name,
            "content": record["content"], "ttl": record["ttl"], "priority": None, "type": record["type"]}


def records(zone, r):
    found = zone.find(zone.absolute(r.query["name"]), r.query.get("type")) if "name" in r.query else zone.records
    page = int(r.query.get("page", 1))
    # A page holds one record here, so that a name with several records is read over several pages.
    return 200, {"data": [shown(zone, x) for x in found[page - 1:page]], "pagination": {
        "current_page": page, "per_page": 1, "total_entries": len(found), "total_pages": max(1, len(found))}}


def create(zone, r):
    return 201, {"data": shown(zone, zone.add(zone.absolute(r.json["name"]), r.json["type"], r.json["content"],
                                              r.json.get("ttl", 3600)))}


def change(zone, r):
    found = zone.find(id=r.groups["id"])
    if not found:
        return 404, {"message": "Record `%s` not found" % r.groups["id"]}
    found[0]["content"] = r.json["content"]
    return 200, {"data": shown(zone, found[0])}


ROUTES = [("GET", RECORDS, records), ("POST", RECORDS, create), ("PATCH", RECORDS + "/(?P<id>\\d+)", change)]
