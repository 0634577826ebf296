#!/usr/bin/python3
"""A tiny SNMPv1 agent with awkward answers, for testing a client's defences.

Objects under 1.3.6.1.4.1.99999:
  .1      a table whose get-next answers go down (.1.5, .1.4, ... .1.1, then .1.5 again)
  .2.0    a 2000-byte octet string
  .3.0    Counter64 18446744073709551615
  .4.0    Counter32 7, settable
  .5.0    the text "line1\\r\\nline2"
Usage: snmp_odd_agent.py ADDRESS PORT
"""
import socket
import sys

BASE = (1, 3, 6, 1, 4, 1, 99999)


def encode_length(n):
    if n < 0x80:
        return bytes([n])
    body = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(body)]) + body


def tlv(tag, body):
    return bytes([tag]) + encode_length(len(body)) + body


def encode_int(tag, value):
    length = max(1, (value.bit_length() + 8) // 8)
    return tlv(tag, value.to_bytes(length, "big", signed=True))


def encode_unsigned(tag, value):
    body = value.to_bytes((value.bit_length() + 7) // 8 or 1, "big")
    if body[0] & 0x80:
        body = b"\0" + body
    return tlv(tag, body)


def encode_oid(arcs):
    body = bytearray([arcs[0] * 40 + arcs[1]])
    for arc in arcs[2:]:
        chunk = [arc & 0x7F]
        arc >>= 7
        while arc:
            chunk.append(0x80 | (arc & 0x7F))
            arc >>= 7
        body += bytes(reversed(chunk))
    return tlv(0x06, bytes(body))


def decode(data, pos):
    tag = data[pos]
    length = data[pos + 1]
    pos += 2
    if length & 0x80:
        count = length & 0x7F
        length = int.from_bytes(data[pos:pos + count], "big")
        pos += count
    return tag, data[pos:pos + length], pos + length


def decode_oid(body):
    arcs = [body[0] // 40, body[0] % 40]
    value = 0
    for byte in body[1:]:
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            arcs.append(value)
            value = 0
    return tuple(arcs)


counter32 = [7]
SCALARS = {
    BASE + (2, 0): lambda: tlv(0x04, b"x" * 2000),
    BASE + (3, 0): lambda: encode_unsigned(0x46, 2**64 - 1),
    BASE + (4, 0): lambda: encode_unsigned(0x41, counter32[0]),
    BASE + (5, 0): lambda: tlv(0x04, b"line1\r\nline2"),
}


def next_of(name):
    table = BASE + (1,)
    if name[:len(table)] == table and len(name) > len(table):
        last = name[len(table)]
        return table + ((last - 1) if last > 1 else 5,)
    if name <= table:
        return table + (5,)
    for key in sorted(SCALARS):
        if key > name:
            return key
    return None


def value_of(name):
    if name[:len(BASE) + 1] == BASE + (1,):
        return tlv(0x04, b"row")
    maker = SCALARS.get(name)
    return maker() if maker else None


def parse_request(request):
    """The request's version, community, PDU tag and request id, and its variable bindings."""
    _, message, _ = decode(request, 0)
    _, version, pos = decode(message, 0)
    _, community, pos = decode(message, pos)
    pdu_tag, pdu, _ = decode(message, pos)
    _, request_id, pos = decode(pdu, 0)
    _, _, pos = decode(pdu, pos)
    _, _, pos = decode(pdu, pos)
    _, bindings, _ = decode(pdu, pos)
    return version, community, pdu_tag, request_id, bindings


def response(version, community, request_id, status, index, bindings):
    """A GetResponse to the request, with its status, error index and encoded bindings."""
    return tlv(0x30, tlv(0x02, version) + tlv(0x04, community) +
               tlv(0xA2, tlv(0x02, request_id) + encode_int(0x02, status) +
                   encode_int(0x02, index) + tlv(0x30, bindings)))


def serve(answer):
    """Answers each datagram on ADDRESS PORT (the first two arguments) with answer(request)."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((sys.argv[1], int(sys.argv[2])))
    while True:
        data, peer = sock.recvfrom(65535)
        try:
            sock.sendto(answer(data), peer)
        except (IndexError, ValueError):
            pass


def answer(request):
    version, community, pdu_tag, request_id, bindings = parse_request(request)
    out, status, index, pos, position = b"", 0, 0, 0, 0
    while pos < len(bindings):
        _, binding, pos = decode(bindings, pos)
        position += 1
        _, name_body, inner = decode(binding, 0)
        name = decode_oid(name_body)
        if pdu_tag == 0xA1:
            name = next_of(name)
            value = value_of(name) if name else None
        elif pdu_tag == 0xA3:
            value_tag, value_body, _ = decode(binding, inner)
            value = binding[inner:]
            if name == BASE + (4, 0) and value_tag == 0x41:
                counter32[0] = int.from_bytes(value_body, "big")
            else:
                value = None
        else:
            value = value_of(name)
        if value is None:
            status, index = status or 2, index or position
            value, name = tlv(0x05, b""), decode_oid(name_body)
        out += tlv(0x30, encode_oid(name) + value)
    return response(version, community, request_id, status, index, out)


if __name__ == "__main__":
    serve(answer)
