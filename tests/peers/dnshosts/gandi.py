"""Gandi LiveDNS: "Authorization: Bearer <personal access token>"; the record set of a name and type read and written
whole (PUT of its rrset_values) at /domains/{fqdn}/records/{name}/{type}; 404 for a set that does not exist."""
SET = r"/v5/livedns/domains/(?P<zone>[^/]+)/records/(?P<name>[^/]+)/(?P<type>[A-Z]+)"


def authorized(r):
    return r.headers.get("Authorization") == f"Bearer {r.secret}"


UNAUTHORIZED = (401, {"code": 401, "message": "The server could not verify that you are authorized to access the URL "
                      "requested.", "object": "HTTPUnauthorized", "cause": "Unauthorized"})
NOT_FOUND = {"code": 404, "message": "The requested resource could not be found.", "object": "dns-record",
             "cause": "Not Found"}


def rrset(zone, r):
    found = zone.find(zone.absolute(r.groups["name"]), r.groups["type"]) if r.groups["zone"] == zone.name else []
    if not found:
        return 404, NOT_FOUND
    return 200, {"rrset_name": r.groups["name"], "rrset_type": r.groups["type"], "rrset_ttl": found[0]["ttl"],
                 "rrset_values": [x["content"] for x in found], "rrset_href": r.path}


def put(zone, r):
    if r.groups["zone"] != zone.name or not r.json or not r.json.get("rrset_values"):
        return 400, {"code": 400, "message": "Bad Request", "object": "HTTPBadRequest", "cause": "Bad Request"}
    zone.set(zone.absolute(r.groups["name"]), r.groups["type"], r.json["rrset_values"], r.json.get("rrset_ttl", 10800))
    return 201, {"message": "DNS Record Created"}


ROUTES = [("GET", SET, rrset), ("PUT", SET, put)]
