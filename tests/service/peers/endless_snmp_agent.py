#!/usr/bin/python3
"""An SNMPv1 agent whose walks never end: every get-next is answered with an identifier just
after the requested one (one arc deeper up to 12 arcs, then the next instance), for ever.
It answers the get of sysObjectID and sysName like any device; with a delay, each get-next
only after that many seconds.
Usage: endless_snmp_agent.py ADDRESS PORT [DELAY]
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "support"))
from snmp_odd_agent import decode, decode_oid, encode_oid, parse_request, response, serve, tlv  # noqa: E402

SYS_OBJECT_ID = (1, 3, 6, 1, 2, 1, 1, 2, 0)
SYS_NAME = (1, 3, 6, 1, 2, 1, 1, 5, 0)
DELAY = float(sys.argv[3]) if len(sys.argv) > 3 else 0.0


def next_of(name):
    return name + (1,) if len(name) < 12 else name[:-1] + (name[-1] + 1,)


def answer(request):
    version, community, pdu_tag, request_id, bindings = parse_request(request)
    out, status, pos = b"", 0, 0
    while pos < len(bindings):
        _, binding, pos = decode(bindings, pos)
        name = decode_oid(decode(binding, 0)[1])
        if pdu_tag == 0xA1:
            if DELAY:
                time.sleep(DELAY)
            name = next_of(name)
            value = tlv(0x04, b"row")
        elif name == SYS_OBJECT_ID:
            value = encode_oid((1, 3, 6, 1, 4, 1, 99999))
        elif name == SYS_NAME:
            value = tlv(0x04, b"endless")
        else:
            status, value = 2, tlv(0x05, b"")
        out += tlv(0x30, encode_oid(name) + value)
    return response(version, community, request_id, status, 1 if status else 0, out)


if __name__ == "__main__":
    serve(answer)
