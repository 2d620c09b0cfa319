"""FreeDNS's dyndns2 interface: GET /nic/update?hostname=&myip=, HTTP Basic with the account's user name and
password."""
from dyndns_common import dyndns2

authorized, UNAUTHORIZED, ROUTES = dyndns2("/nic/update")
