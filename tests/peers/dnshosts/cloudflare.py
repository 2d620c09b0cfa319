"""Cloudflare API v4: a bearer token; every answer in {"success", "errors": [{"code", "message"}], "messages",
"result", "result_info"}; records listed by ?type=&name=, paged (per_page 100)."""
ZONE_ID = "023e105f4ecef8ad9ca31a8372d0c353"


def envelope(result, errors=(), info=None):
    answer = {"success": not errors, "errors": [{"code": c, "message": m} for c, m in errors], "messages": [],
              "result": result}
    if info:
        answer["result_info"] = info
    return answer


def authorized(r):
    return r.headers.get("Authorization") == f"Bearer {r.secret}"


UNAUTHORIZED = (401, envelope(None, [(10000, "Authentication error")]))
RATE_LIMITED = (429, envelope(None, [(971, "Please wait and consider throttling your request speed")]))
NOT_FOUND = envelope(None, [(7003, "Could not route to /zones, perhaps your object identifier is invalid?")])


def shown(record):
    return {**record, "proxied": False}


def records(zone, r):
    found = zone.find(r.query.get("name"), r.query.get("type"))
    page = int(r.query.get("page", 1))
    # A page holds one record here, so that a name with several records is read over several pages.
    return 200, envelope([shown(x) for x in found[page - 1:page]],
                         info={"page": page, "per_page": 1, "total_pages": max(1, len(found))})


def create(zone, r):
    return 200, envelope(shown(zone.add(r.json["name"], r.json["type"], r.json["content"], r.json.get("ttl"))))


def change(zone, r):
    found = zone.find(id=r.groups["id"])
    if not found:
        return 404, envelope(None, [(81044, "Record does not exist.")])
    found[0]["content"] = r.json["content"]
    return 200, envelope(shown(found[0]))


ROUTES = [
    ("GET", "/client/v4/zones", lambda zone, r: (200, envelope(
        [{"id": ZONE_ID, "name": zone.name}] if r.query.get("name") == zone.name else []))),
    ("GET", f"/client/v4/zones/{ZONE_ID}/dns_records", records),
    ("POST", f"/client/v4/zones/{ZONE_ID}/dns_records", create),
    ("PATCH", f"/client/v4/zones/{ZONE_ID}/dns_records/(?P<id>\\w+)", change),
]
