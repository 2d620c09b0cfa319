"""Vultr API v2: a bearer token; errors as {"error", "status"}; a domain's records paged by an opaque cursor
(?per_page=&cursor=, meta.links.next); names relative ("" for the domain); a PATCH answers 204."""
import base64

RECORDS = "/v2/domains/example.com/records"


def authorized(r):
    return r.headers.get("Authorization") == f"Bearer {r.secret}"


UNAUTHORIZED = (401, {"error": "Invalid API token.", "status": 401})
RATE_LIMITED = (429, {"error": "Rate limit reached - please try your request again later.", "status": 429})
NOT_FOUND = {"error": "Not found", "status": 404}


def shown(zone, record):
    name = zone.relative(record["name"])
    return {"id": f"cb676a46-66fd-4dfb-b839-{int(record['id']):012d}", "type": record["type"],
            "name": "" if name == "@" else name, "data": record["content"], "priority": -1, "ttl": record["ttl"]}


def records(zone, r):
    start = int(base64.b64decode(r.query["cursor"]).decode()[6:]) if r.query.get("cursor") else 0
    # Two records a page here; the cursor is base64 of "next__<index>", with its padding.
    end = start + 2
    cursor = base64.b64encode(f"next__{end}".encode()).decode() if end < len(zone.records) else ""
    return 200, {"records": [shown(zone, x) for x in zone.records[start:end]],
                 "meta": {"total": len(zone.records), "links": {"next": cursor, "prev": ""}}}


def create(zone, r):
    return 201, {"record": shown(zone, zone.add(zone.absolute(r.json["name"] or "@"), r.json["type"],
                                                r.json["data"], r.json.get("ttl")))}


def change(zone, r):
    found = [x for x in zone.records if shown(zone, x)["id"] == r.groups["id"]]
    if not found:
        return 404, NOT_FOUND
    found[0]["content"] = r.json["data"]
    return 204, b""


ROUTES = [("GET", RECORDS, records), ("POST", RECORDS, create), ("PATCH", RECORDS + "/(?P<id>[\\w-]+)", change)]
