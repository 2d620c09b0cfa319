"""INWX: GET /nic/update?hostname=&myip= (an IPv6 address in myipv6), HTTP Basic with the DynDNS account; the
address a request leaves out is cleared."""
from dyndns_common import dyndns2

authorized, UNAUTHORIZED, ROUTES = dyndns2("/nic/update", v6="myipv6", clears=True)
