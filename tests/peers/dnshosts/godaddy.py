"""GoDaddy Domains API v1: "Authorization: sso-key KEY:SECRET" (--secret KEY:SECRET); the records of a name and type
read at /v1/domains/{domain}/records/{type}/{name} ([] when there is none) and replaced together by a PUT there."""
RECORDS = r"/v1/domains/(?P<domain>[^/]+)/records/(?P<type>[A-Z]+)/(?P<name>[^/]+)"


def authorized(r):
    return r.headers.get("Authorization") == f"sso-key {r.secret}"


UNAUTHORIZED = (401, {"code": "UNABLE_TO_AUTHENTICATE", "message": "Unable to authenticate your API key and secret"})
RATE_LIMITED = (429, {"code": "TOO_MANY_REQUESTS", "message": "Too many requests received within interval",
                      "retryAfterSec": 30})
NOT_FOUND = {"code": "UNKNOWN_DOMAIN", "message": "The given domain is not registered, or does not have a zone file"}


def records(zone, r):
    if r.groups["domain"] != zone.name:
        return 404, NOT_FOUND
    return 200, [{"data": x["content"], "name": r.groups["name"], "ttl": x["ttl"], "type": x["type"]}
                 for x in zone.find(zone.absolute(r.groups["name"]), r.groups["type"])]


def replace(zone, r):
    if r.groups["domain"] != zone.name:
        return 404, NOT_FOUND
    if not isinstance(r.json, list) or any("data" not in x or x.get("ttl", 600) < 600 for x in r.json):
        return 422, {"code": "INVALID_BODY", "message": "Request body doesn't fulfill schema, see details in `fields`"}
    zone.set(zone.absolute(r.groups["name"]), r.groups["type"], [x["data"] for x in r.json], r.json[0].get("ttl"))
    return 200, ""


ROUTES = [("GET", RECORDS, records), ("PUT", RECORDS, replace)]
