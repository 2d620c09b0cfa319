"""deSEC: "Authorization: Token <token>"; the RRset of a subname and type at /domains/{name}/rrsets/{subname}/{type}/
("@" for the zone itself; 404 when there is none), created with POST to /rrsets/, its records changed with PATCH;
the domain's least TTL is 3600; too many requests: 429 with Retry-After."""
RRSET = r"/api/v1/domains/(?P<zone>[^/]+)/rrsets/(?P<sub>[^/]+)/(?P<type>[A-Z]+)/"


def authorized(r):
    return r.headers.get("Authorization") == f"Token {r.secret}"


UNAUTHORIZED = (401, {"detail": "Invalid token."})
RATE_LIMITED = (429, {"detail": "Request was throttled. Expected available in 30 seconds."})
NOT_FOUND = {"detail": "Not found."}


def shown(zone, subname, found):
    return {"domain": zone.name, "subname": subname, "name": zone.absolute(subname or "@") + ".",
            "type": found[0]["type"], "records": [x["content"] for x in found], "ttl": found[0]["ttl"]}


def read(zone, r):
    found = zone.find(zone.absolute(r.groups["sub"]), r.groups["type"]) if r.groups["zone"] == zone.name else []
    return (200, shown(zone, r.groups["sub"].strip("@"), found)) if found else (404, NOT_FOUND)


def create(zone, r):
    name = zone.absolute(r.json["subname"] or "@")
    if r.json.get("ttl", 0) < 3600:
        return 400, {"ttl": ["Ensure this value is greater than or equal to 3600."]}
    if zone.find(name, r.json["type"]):
        return 400, {"non_field_errors": ["Another RRset with the same subdomain and type exists for this domain."]}
    return 201, shown(zone, r.json["subname"], zone.set(name, r.json["type"], r.json["records"], r.json["ttl"]))


def patch(zone, r):
    found = zone.find(zone.absolute(r.groups["sub"]), r.groups["type"])
    if not found:
        return 404, NOT_FOUND
    made = zone.set(found[0]["name"], found[0]["type"], r.json["records"], found[0]["ttl"])
    return 200, shown(zone, r.groups["sub"].strip("@"), made)


ROUTES = [("GET", RRSET, read), ("PATCH", RRSET, patch), ("POST", r"/api/v1/domains/(?P<zone>[^/]+)/rrsets/", create)]
