"""Netcup CCP DNS API: JSON actions POSTed to endpoint.php?JSON (--secret CUSTOMER:APIKEY:APIPASSWORD): login gives an
apisessionid that infoDnsRecords, updateDnsRecords (the records sent: with an id changed, without one added) and
logout carry. Every answer is a 200 with status and statuscode; a refusal has status "error"."""
SESSION = "c2Vzc2lvbjEyMzQ1Njc4OTA"


def answer(action, status="success", code=2000, short="", long="", data=None):
    return 200, {"serverrequestid": "AbCdEf", "clientrequestid": "", "action": action, "status": status,
                 "statuscode": code, "shortmessage": short, "longmessage": long, "responsedata": data or ""}


def authorized(r):
    customer, key, password = r.secret.split(":")
    param = (r.json or {}).get("param", {})
    if param.get("customernumber") != customer or param.get("apikey") != key:
        return False
    return param.get("apipassword") == password if r.json["action"] == "login" else param.get("apisessionid") == SESSION


UNAUTHORIZED = answer("login", "error", 4013, "Validation Error.", "The login was not successful.")
RATE_LIMITED = answer("login", "error", 4013, "Validation Error.", "More than 180 requests per minute. Please wait and "
                      "retry later.")  # in the answer, without a time to wait


def shown(zone, x):
    return {"id": x["id"], "hostname": zone.relative(x["name"]), "type": x["type"], "priority": "0",
            "destination": x["content"], "deleterecord": False, "state": "yes"}


def endpoint(zone, r):
    action, param = r.json["action"], r.json["param"]
    if action == "login":
        return answer(action, short="Login successful", data={"apisessionid": SESSION})
    if action == "logout":
        return answer(action, short="Logout successful")
    if param.get("domainname") != zone.name:
        return answer(action, "error", 5029, "Can not get DNS records for zone.", "Domain not found.")
    for record in param.get("dnsrecordset", {}).get("dnsrecords", []) if action == "updateDnsRecords" else []:
        found = zone.find(id=record["id"]) if record.get("id") else None
        if found:
            found[0]["content"] = record["destination"]
        else:
            zone.add(zone.absolute(record["hostname"]), record["type"], record["destination"])
    return answer(action, short="DNS records found", data={"dnsrecords": [shown(zone, x) for x in zone.records]})


ROUTES = [("POST", "/run/webservice/servers/endpoint.php", endpoint)]
