"""Builds private key files for the key-file tests from keys made by ssh-keygen.

  keyfile_fixtures.py FOLDER

ssh-keygen makes an RSA and a DSA key in its own format; their numbers are read from that
format and written again in the SSH-1 binary format and the SSH-2 text format (versions 1 and
2, with and without pass phrase), following the published definitions: SSH-2 strings and
mpints (RFC 4251), base64 (RFC 4648), HMAC-SHA1 (RFC 2104), AES-256-CBC and triple DES through
the openssl command. FOLDER/manifest.txt lists the key numbers in hex for the checks.
"""
import base64
import hashlib
import hmac
import os
import struct
import subprocess
import sys

PASSPHRASE = b"correct horse battery"


def run(*args, data=None):
    return subprocess.run(args, input=data, check=True, capture_output=True).stdout


# --- SSH-2 encodings -------------------------------------------------------------------------

def string(b):
    return struct.pack(">I", len(b)) + b


def mpint(n):
    body = n.to_bytes((n.bit_length() + 8) // 8, "big")
    return string(body)


class Reader:
    def __init__(self, data):
        self.data, self.pos = data, 0

    def u32(self):
        (v,) = struct.unpack_from(">I", self.data, self.pos)
        self.pos += 4
        return v

    def string(self):
        n = self.u32()
        b = self.data[self.pos:self.pos + n]
        self.pos += n
        return b

    def mpint(self):
        return int.from_bytes(self.string(), "big")


def read_openssh_key(path):
    """Numbers of an unencrypted key in ssh-keygen's own format."""
    lines = open(path).read().strip().splitlines()
    blob = base64.b64decode("".join(lines[1:-1]))
    magic = b"openssh-key-v1\0"
    assert blob.startswith(magic)
    r = Reader(blob[len(magic):])
    assert r.string() == b"none" and r.string() == b"none"
    r.string()
    assert r.u32() == 1
    r.string()
    p = Reader(r.string())
    assert p.u32() == p.u32()
    kind = p.string().decode()
    if kind == "ssh-rsa":
        n, e, d, iqmp, pp, q = (p.mpint() for _ in range(6))
        if pp < q:
            pp, q = q, pp
        return kind, {"n": n, "e": e, "d": d, "p": pp, "q": q, "iqmp": pow(q, -1, pp)}
    numbers = dict(zip("pqgyx", (p.mpint() for _ in range(5))))
    return kind, numbers


def blobs(kind, k):
    if kind == "ssh-rsa":
        public = string(b"ssh-rsa") + mpint(k["e"]) + mpint(k["n"])
        private = mpint(k["d"]) + mpint(k["p"]) + mpint(k["q"]) + mpint(k["iqmp"])
    else:
        public = string(b"ssh-dss") + mpint(k["p"]) + mpint(k["q"]) + mpint(k["g"]) + mpint(k["y"])
        private = mpint(k["x"])
    return public, private


# --- SSH-2 text format ---------------------------------------------------------------------------

def aes256_cbc(key, data):
    return run("openssl", "enc", "-aes-256-cbc", "-K", key.hex(), "-iv", "00" * 16, "-nopad", data=data)


def base64_lines(b):
    text = base64.b64encode(b).decode()
    return [text[i:i + 64] for i in range(0, len(text), 64)]


def ssh2_text(kind, k, comment, passphrase=None, version=2, check="Private-MAC", newline="\n",
              corrupt_mac=False, line_width=64):
    public, private = blobs(kind, k)
    encryption = "aes256-cbc" if passphrase else "none"
    if passphrase:
        private += hashlib.sha1(private).digest()[:(-len(private)) % 16]
    if version == 2:
        mac_input = b"".join(string(x) for x in (kind.encode(), encryption.encode(), comment.encode(),
                                                  public, private))
    else:
        mac_input = private
    if check == "Private-MAC":
        mac_key = hashlib.sha1(b"mirsh-private-key-file-mac-key" + (passphrase or b"")).digest()
        value = hmac.new(mac_key, mac_input, hashlib.sha1).hexdigest()
    else:
        value = hashlib.sha1(mac_input).hexdigest()
    if corrupt_mac:
        value = value[:-1] + ("0" if value[-1] != "0" else "1")
    stored = private
    if passphrase:
        key = hashlib.sha1(b"\0\0\0\0" + passphrase).digest() + hashlib.sha1(b"\0\0\0\1" + passphrase).digest()
        stored = aes256_cbc(key[:32], private)
    private_text = base64.b64encode(stored).decode()
    private_lines = [private_text[i:i + line_width] for i in range(0, len(private_text), line_width)]
    out = ["Mirsh-User-Key-File-%d: %s" % (version, kind), "Encryption: " + encryption, "Comment: " + comment,
           "Public-Lines: %d" % len(base64_lines(public))] + base64_lines(public)
    out += ["Private-Lines: %d" % len(private_lines)] + private_lines + ["%s: %s" % (check, value)]
    return (newline.join(out) + newline).encode()


# --- SSH-1 binary format -------------------------------------------------------------------------

def ssh1_int(n):
    return struct.pack(">H", n.bit_length()) + n.to_bytes((n.bit_length() + 7) // 8, "big")


def des_cbc(key8, data, decrypt=False):
    # Triple DES with three equal keys is single DES.
    args = ["openssl", "enc", "-des-ede3-cbc", "-K", (key8 * 3).hex(), "-iv", "00" * 8, "-nopad"]
    return run(*(args + (["-d"] if decrypt else [])), data=data)


def ssh1_file(k, comment, passphrase=None, check_bytes=b"\x5a\xa5"):
    private = check_bytes + check_bytes + ssh1_int(k["d"]) + ssh1_int(k["iqmp"]) + ssh1_int(k["q"]) + ssh1_int(k["p"])
    private += b"\0" * ((-len(private)) % 8)
    cipher = 0
    if passphrase is not None:
        cipher = 3
        key = hashlib.md5(passphrase).digest()
        k1, k2 = key[:8], key[8:]
        private = des_cbc(k1, des_cbc(k2, des_cbc(k1, private), decrypt=True))  # inner CBC: E1 D2 E1
    body = bytes([0, cipher]) + b"\0" * 4 + struct.pack(">I", k["n"].bit_length()) + ssh1_int(k["n"]) + ssh1_int(k["e"])
    body += struct.pack(">I", len(comment)) + comment.encode() + private
    return b"SSH PRIVATE KEY FILE FORMAT 1.1\n" + body


# --- the fixtures ------------------------------------------------------------------------------

def main(folder):
    def write(name, data):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)

    run("ssh-keygen", "-q", "-t", "rsa", "-b", "2048", "-N", "", "-C", "rsa from ssh-keygen", "-f",
        os.path.join(folder, "openssh_rsa"))
    run("ssh-keygen", "-q", "-t", "dsa", "-N", "", "-C", "dsa from ssh-keygen", "-f", os.path.join(folder, "openssh_dsa"))
    run("ssh-keygen", "-q", "-t", "rsa", "-b", "1024", "-m", "PEM", "-N", "", "-f", os.path.join(folder, "pem_rsa"))
    rsa_kind, rsa = read_openssh_key(os.path.join(folder, "openssh_rsa"))
    dsa_kind, dsa = read_openssh_key(os.path.join(folder, "openssh_dsa"))

    for kind, k, tag in ((rsa_kind, rsa, "rsa"), (dsa_kind, dsa, "dsa")):
        comment = "%s key" % tag
        write("v2_%s_plain.key" % tag, ssh2_text(kind, k, comment))
        write("v2_%s_pass.key" % tag, ssh2_text(kind, k, comment, PASSPHRASE))
        write("v1_%s_plain.key" % tag, ssh2_text(kind, k, comment, version=1))
        write("v1_%s_pass.key" % tag, ssh2_text(kind, k, comment, PASSPHRASE, version=1))
        write("v1_%s_hash.key" % tag, ssh2_text(kind, k, comment, version=1, check="Private-Hash"))
        write("v1_%s_pass_hash.key" % tag, ssh2_text(kind, k, comment, PASSPHRASE, version=1, check="Private-Hash"))
    write("v2_rsa_crlf.key", ssh2_text(rsa_kind, rsa, "rsa key", PASSPHRASE, newline="\r\n"))
    write("v2_rsa_lfcr.key", ssh2_text(rsa_kind, rsa, "rsa key", newline="\n\r"))
    write("v2_rsa_cr.key", ssh2_text(rsa_kind, rsa, "rsa key", newline="\r"))
    write("v2_rsa_hash.key", ssh2_text(rsa_kind, rsa, "rsa key", check="Private-Hash"))
    write("v2_rsa_bad_mac.key", ssh2_text(rsa_kind, rsa, "rsa key", corrupt_mac=True))
    write("v2_rsa_pass_bad_mac.key", ssh2_text(rsa_kind, rsa, "rsa key", PASSPHRASE, corrupt_mac=True))
    write("v2_rsa_long_line.key", ssh2_text(rsa_kind, rsa, "rsa key", line_width=68))
    inconsistent = dict(rsa, iqmp=rsa["iqmp"] + 1)
    write("v2_rsa_bad_key.key", ssh2_text(rsa_kind, inconsistent, "rsa key"))
    write("ssh1_rsa_bad_key.key", ssh1_file(inconsistent, "ssh1 rsa key"))
    write("ssh1_rsa_plain.key", ssh1_file(rsa, "ssh1 rsa key"))
    write("ssh1_rsa_pass.key", ssh1_file(rsa, "ssh1 rsa key", PASSPHRASE))
    write("commercial.key", b"---- BEGIN SSH2 ENCRYPTED PRIVATE KEY ----\nComment: \"x\"\n")

    with open(os.path.join(folder, "manifest.txt"), "w") as f:
        f.write("passphrase %s\n" % PASSPHRASE.hex())
        for tag, kind, k in (("rsa", rsa_kind, rsa), ("dsa", dsa_kind, dsa)):
            for name, value in k.items():
                f.write("%s.%s %x\n" % (tag, name, value))
            public, private = blobs(kind, k)
            f.write("%s.public_blob %s\n%s.private_blob %s\n" % (tag, public.hex(), tag, private.hex()))


if __name__ == "__main__":
    main(sys.argv[1])
