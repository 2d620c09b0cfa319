"""Linode API v4: a bearer token; errors as {"errors": [{"reason"}]}; lists as {"data", "page", "pages",
"results"}; domains filtered by the X-Filter header; a domain's records by page, names relative ("" for the
domain), the address in "target"."""
import json

DOMAIN_ID = 1234


def authorized(r):
    return r.headers.get("Authorization") == f"Bearer {r.secret}"


UNAUTHORIZED = (401, {"errors": [{"reason": "Invalid Token"}]})
RATE_LIMITED = (429, {"errors": [{"reason": "Too many requests"}]})
NOT_FOUND = {"errors": [{"reason": "Not found"}]}


def domains(zone, r):
    wanted = json.loads(r.headers.get("X-Filter") or "{}").get("domain", zone.name)
    found = [{"id": DOMAIN_ID, "domain": zone.name, "type": "master"}] if wanted == zone.name else []
    return 200, {"data": found, "page": 1, "pages": 1, "results": len(found)}


def shown(zone, record):
    name = zone.relative(record["name"])
    return {"id": int(record["id"]), "type": record["type"], "name": "" if name == "@" else name,
            "target": record["content"], "ttl_sec": record["ttl"]}


def records(zone, r):
    page = int(r.query.get("page", 1))
    # Two records a page here, so that the zone is read over several pages.
    return 200, {"data": [shown(zone, x) for x in zone.records[2 * page - 2:2 * page]], "page": page,
                 "pages": (len(zone.records) + 1) // 2, "results": len(zone.records)}


def create(zone, r):
    return 200, shown(zone, zone.add(zone.absolute(r.json["name"]), r.json["type"], r.json["target"],
                                     r.json.get("ttl_sec")))


def change(zone, r):
    found = zone.find(id=r.groups["id"])
    if not found:
        return 404, NOT_FOUND
    found[0]["content"] = r.json["target"]
    return 200, shown(zone, found[0])


RECORDS = f"/v4/domains/{DOMAIN_ID}/records"
ROUTES = [("GET", "/v4/domains", domains), ("GET", RECORDS, records), ("POST", RECORDS, create),
          ("PUT", RECORDS + "/(?P<id>\\d+)", change)]
