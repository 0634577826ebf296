"""Reference side of the compression tests, using the zlib library through Python.

  check FILE  every packet of every stream in FILE, given to one zlib.decompressobj after the
              packets before it, must yield exactly the packet's input; prints OK or the faults.
  make FILE   writes streams compressed by zlib at levels 0-9 (and smaller windows), one sync
              flush per packet, in the same file format.

File format, little-endian 32-bit counts: number of streams; per stream the number of packets;
per packet the input length and bytes, then the compressed length and bytes.
"""
import random
import struct
import sys
import zlib


def read_streams(path):
    with open(path, "rb") as f:
        data = f.read()
    pos = 0

    def u32():
        nonlocal pos
        (value,) = struct.unpack_from("<I", data, pos)
        pos += 4
        return value

    def chunk():
        nonlocal pos
        n = u32()
        piece = data[pos:pos + n]
        pos += n
        return piece

    streams = []
    for _ in range(u32()):
        streams.append([(chunk(), chunk()) for _ in range(u32())])
    return streams


def write_streams(path, streams):
    out = [struct.pack("<I", len(streams))]
    for packets in streams:
        out.append(struct.pack("<I", len(packets)))
        for plain, packed in packets:
            out += [struct.pack("<I", len(plain)), plain, struct.pack("<I", len(packed)), packed]
    with open(path, "wb") as f:
        f.write(b"".join(out))


def check(path):
    faults = []
    for s, packets in enumerate(read_streams(path)):
        inflater = zlib.decompressobj()
        for p, (plain, packed) in enumerate(packets):
            try:
                got = inflater.decompress(packed)
            except zlib.error as e:
                faults.append("stream %d packet %d: %s" % (s, p, e))
                break
            if got != plain:
                faults.append("stream %d packet %d: got %d bytes, want %d" % (s, p, len(got), len(plain)))
                break
    print("\n".join(faults) if faults else "OK")
    return 1 if faults else 0


def sample_packets(rng):
    words = [b"interface", b"GigabitEthernet0/", b"ip address", b"10.0.", b"shutdown", b"!\r\n",
             b"description uplink", b" ", b"\r\n", b"hostname core-1", b"snmp-server community"]
    text = b"".join(rng.choice(words) + str(rng.randrange(50)).encode() for _ in range(9000))
    noise = bytes(rng.randrange(256) for _ in range(40000))
    runs = b"".join(bytes([rng.randrange(4)]) * rng.randrange(1, 700) for _ in range(300))
    packets, pos = [], 0
    source = text + noise[:20000] + runs + text[:30000] + noise[20000:]
    while pos < len(source):
        n = rng.choice([1, 2, 3, 7, 64, 500, 1400, 4096, 16384, 34000])
        packets.append(source[pos:pos + n])
        pos += n
    return packets


def make(path):
    rng = random.Random(1950)
    packets = sample_packets(rng)
    streams = []
    settings = [(level, 15, zlib.Z_DEFAULT_STRATEGY) for level in range(10)]
    settings += [(6, 9, zlib.Z_DEFAULT_STRATEGY), (9, 12, zlib.Z_DEFAULT_STRATEGY),
                 (6, 15, zlib.Z_HUFFMAN_ONLY), (6, 15, zlib.Z_RLE), (6, 15, zlib.Z_FIXED)]
    for level, wbits, strategy in settings:
        deflater = zlib.compressobj(level, zlib.DEFLATED, wbits, 9, strategy)
        streams.append([(p, deflater.compress(p) + deflater.flush(zlib.Z_SYNC_FLUSH)) for p in packets])
    write_streams(path, streams)
    return 0


if __name__ == "__main__":
    mode, path = sys.argv[1], sys.argv[2]
    sys.exit(check(path) if mode == "check" else make(path))
