#!/usr/bin/python3
"""An SNMPv1 agent whose walks never end: every get-next is answered with an identifier just
after the requested one (one arc deeper up to 12 arcs, then the next instance), for ever.
It answers the get of sysObjectID and sysName like any device.
  DELAY              each get-next is answered only after that many seconds
  --value-bytes N    each walked value is an octet string of N bytes (default: "row"), shared
                     by the bindings of a request so that the answer fits one datagram
  --grow             only walks under 1.3.6.1.4.1.99999 are endless, and each answer there is a
                     new instance, after every one given before: every scan finds new values
Usage: endless_snmp_agent.py ADDRESS PORT [DELAY] [--value-bytes N] [--grow]
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "support"))
from snmp_odd_agent import decode, decode_oid, encode_oid, parse_request, response, serve, tlv  # noqa: E402

SYS_OBJECT_ID = (1, 3, 6, 1, 2, 1, 1, 2, 0)
SYS_NAME = (1, 3, 6, 1, 2, 1, 1, 5, 0)
GROWING = (1, 3, 6, 1, 4, 1, 99999)
PAST_GROWING = (1, 3, 6, 1, 4, 1, 100000)

parser = argparse.ArgumentParser()
parser.add_argument("address")
parser.add_argument("port")
parser.add_argument("delay", nargs="?", type=float, default=0.0)
parser.add_argument("--value-bytes", type=int, default=0)
parser.add_argument("--grow", action="store_true")
OPTIONS = parser.parse_args()
VALUE = b"x" * OPTIONS.value_bytes if OPTIONS.value_bytes else b"row"
last_instance = [0]


def next_of(name):
    if not OPTIONS.grow:
        return name + (1,) if len(name) < 12 else name[:-1] + (name[-1] + 1,)
    if name[:len(GROWING)] != GROWING:
        return PAST_GROWING if name < GROWING else None
    last_instance[0] = max(last_instance[0], name[len(GROWING)] if len(name) > len(GROWING) else 0) + 1
    return GROWING + (last_instance[0],)


def answer(request):
    version, community, pdu_tag, request_id, bindings = parse_request(request)
    count, pos = 0, 0
    while pos < len(bindings):
        pos = decode(bindings, pos)[2]
        count += 1
    walked = VALUE[:max(3, len(VALUE) // max(count, 1))]
    out, status, pos = b"", 0, 0
    while pos < len(bindings):
        _, binding, pos = decode(bindings, pos)
        name = decode_oid(decode(binding, 0)[1])
        value = None
        if pdu_tag == 0xA1:
            if OPTIONS.delay:
                time.sleep(OPTIONS.delay)
            following = next_of(name)
            if following:
                name, value = following, tlv(0x04, walked)
        elif name == SYS_OBJECT_ID:
            value = encode_oid((1, 3, 6, 1, 4, 1, 99999))
        elif name == SYS_NAME:
            value = tlv(0x04, b"endless")
        if value is None:
            status, value = 2, tlv(0x05, b"")
        out += tlv(0x30, encode_oid(name) + value)
    return response(version, community, request_id, status, 1 if status else 0, out)


if __name__ == "__main__":
    serve(answer)
