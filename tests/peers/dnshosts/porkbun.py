"""Porkbun API v3: every call a POST with "apikey" and "secretapikey" in its JSON body; answers carry "status":
"SUCCESS" or "ERROR" with a "message"; a refused key is a 400, too many requests a bare 503 page."""
NAME_TYPE = "/api/json/v3/dns/{}/(?P<domain>[\\w.-]+)/(?P<type>\\w+)(?:/(?P<sub>[^/]+))?"


def authorized(r):
    return f"{(r.json or {}).get('apikey')}:{(r.json or {}).get('secretapikey')}" == r.secret


UNAUTHORIZED = (400, {"status": "ERROR", "message": "Invalid API key. (002)"})
RATE_LIMITED = (503, "<html><head><title>503 Service Temporarily Unavailable</title></head></html>")
NOT_FOUND = {"status": "ERROR", "message": "Invalid endpoint."}


def same_type(zone, r):
    return zone.find(zone.absolute(r.groups["sub"] or "@"), r.groups["type"])


def retrieve(zone, r):
    return 200, {"status": "SUCCESS", "records": [
        {**x, "ttl": str(x["ttl"]), "prio": "0", "notes": ""} for x in same_type(zone, r)]}


def create(zone, r):
    record = zone.add(zone.absolute(r.json.get("name") or "@"), r.json["type"], r.json["content"],
                      int(r.json.get("ttl", 600)))
    return 200, {"status": "SUCCESS", "id": int(record["id"])}


def edit(zone, r):
    for record in same_type(zone, r):  # an edit takes the TTL afresh: 600 unless given
        record.update(content=r.json["content"], ttl=int(r.json.get("ttl", 600)))
    return 200, {"status": "SUCCESS"}


ROUTES = [
    ("POST", NAME_TYPE.format("retrieveByNameType"), retrieve),
    ("POST", "/api/json/v3/dns/create/(?P<domain>[\\w.-]+)", create),
    ("POST", NAME_TYPE.format("editByNameType"), edit),
]
