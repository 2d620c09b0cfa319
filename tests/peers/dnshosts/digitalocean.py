"""DigitalOcean API v2: a bearer token; errors as {"id", "message"}; a domain's records filtered by ?type= and
?name= (the full name), paged by ?page=&per_page= with links.pages.next; names relative ("@" for the domain)."""


def authorized(r):
    return r.headers.get("Authorization") == f"Bearer {r.secret}"


UNAUTHORIZED = (401, {"id": "Unauthorized", "message": "Unable to authenticate you."})
RATE_LIMITED = (429, {"id": "too_many_requests", "message": "API Rate limit exceeded."})
NOT_FOUND = {"id": "not_found", "message": "The resource you were accessing could not be found."}
RECORDS = "/v2/domains/example.com/records"


def shown(zone, record):
    return {"id": int(record["id"]), "type": record["type"], "name": zone.relative(record["name"]),
            "data": record["content"], "ttl": record["ttl"], "priority": None, "port": None, "weight": None}


def records(zone, r):
    found = zone.find(r.query.get("name"), r.query.get("type"))
    page = int(r.query.get("page", 1))
    # A page holds one record here, so that a name with several records is read over several pages.
    pages = {"next": f"https://api.digitalocean.com{RECORDS}?page={page + 1}&per_page=1"} if page < len(found) else {}
    return 200, {"domain_records": [shown(zone, x) for x in found[page - 1:page]], "links": {"pages": pages},
                 "meta": {"total": len(found)}}


def create(zone, r):
    record = zone.add(zone.absolute(r.json["name"]), r.json["type"], r.json["data"], r.json.get("ttl", 1800))
    return 201, {"domain_record": shown(zone, record)}


def change(zone, r):
    found = zone.find(id=r.groups["id"])
    if not found:
        return 404, NOT_FOUND
    if r.json.get("type") != found[0]["type"]:  # the one field a PATCH must carry
        return 422, {"id": "unprocessable_entity", "message": "Type is required."}
    found[0]["content"] = r.json["data"]
    return 200, {"domain_record": shown(zone, found[0])}


ROUTES = [("GET", RECORDS, records), ("POST", RECORDS, create), ("PATCH", RECORDS + "/(?P<id>\\d+)", change)]
