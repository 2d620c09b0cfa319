"""Azure DNS (Resource Manager, api-version 2018-05-01) with its sign-in: POST /{tenant}/oauth2/v2.0/token takes the
client credentials as a form and answers an access token (a bad secret: 401 invalid_client); every other request
carries it as a bearer token. A record set is read at .../dnsZones/{zone}/{type}/{name} (404 when there is none),
written whole with PUT, its records with PATCH; errors as {"error": {"code", "message"}}."""
from urllib.parse import parse_qs

TENANT, CLIENT, TOKEN = "tenant-1", "client-1", "eyJ0eXAi.test"
SET = "/subscriptions/(?P<sub>[\\w-]+)/resourceGroups/dns-rg/providers/Microsoft.Network/dnsZones/example.com/" \
      "(?P<type>A|AAAA)/(?P<name>[\\w@.-]+)"
KEYS = {"A": ("ARecords", "ipv4Address"), "AAAA": ("AAAARecords", "ipv6Address")}


def authorized(r):
    return r.path.endswith("/oauth2/v2.0/token") or r.headers.get("Authorization") == f"Bearer {TOKEN}"


def error(code, message):
    return {"error": {"code": code, "message": message}}


UNAUTHORIZED = (401, error("InvalidAuthenticationToken", "The access token is invalid."))
RATE_LIMITED = (429, error("TooManyRequests", "The request is being throttled."))
NOT_FOUND = error("InvalidResourceType", "The resource type could not be found.")


def token(zone, r):
    form = {k: v[0] for k, v in parse_qs(r.raw).items()}
    if form.get("client_id") != CLIENT or form.get("client_secret") != r.secret:
        return 401, {"error": "invalid_client", "error_description": "AADSTS7000215: Invalid client secret provided."}
    if form.get("grant_type") != "client_credentials" or not form.get("scope", "").endswith("/.default"):
        return 400, {"error": "invalid_request", "error_description": "AADSTS900144: bad request"}
    return 200, {"token_type": "Bearer", "expires_in": 3599, "ext_expires_in": 3599, "access_token": TOKEN}


def record_set(zone, r):
    name, kind = zone.absolute(r.groups["name"]), r.groups["type"]
    found = zone.find(name, kind)
    if not found:
        return 404, error("NotFound", f"The resource record '{r.groups['name']}' does not exist.")
    key, field = KEYS[kind]
    return 200, {"name": r.groups["name"], "type": f"Microsoft.Network/dnszones/{kind}", "etag": "5fb1-4d",
                 "properties": {"fqdn": name + ".", "TTL": found[0]["ttl"],
                                key: [{field: x["content"]} for x in found]}}


def write(zone, r):
    name, kind = zone.absolute(r.groups["name"]), r.groups["type"]
    existing = zone.find(name, kind)
    if r.method == "PUT" and existing and r.headers.get("If-None-Match") == "*":
        return 412, error("PreconditionFailed", "The Record set has been modified (etag mismatch).")
    if r.method == "PATCH" and not existing:
        return 404, error("NotFound", "The resource record does not exist.")
    key, field = KEYS[kind]
    ttl = r.json["properties"].get("TTL") or (existing[0]["ttl"] if existing else 3600)
    zone.set(name, kind, [x[field] for x in r.json["properties"][key]], ttl)
    status, answer = record_set(zone, r)
    return (201 if r.method == "PUT" and not existing else 200), answer


ROUTES = [
    ("POST", f"/{TENANT}/oauth2/v2.0/token", token),
    ("GET", SET, record_set),
    ("PUT", SET, write),
    ("PATCH", SET, write),
]
