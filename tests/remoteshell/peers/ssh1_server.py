#!/usr/bin/python3
"""A scripted SSH-1 server (protocol 1.5, after the published SSH-1 protocol description) that
checks what the client sends and serves either one command or the fake device's command line.

  ssh1_server.py --port N --report R [options]        serve connections until killed
  ssh1_server.py --make-key PATH [--passphrase P]     write an SSH-1 private key file
  ssh1_server.py --agent-socket S --agent-key PATH    an SSH-1 agent holding an unencrypted key

Checks: the double-encrypted session key and its padding, the cookie, every packet's CRC, the
IGNORE lengths around a camouflaged password (or, for the quirk versions, the length-padded or
plain password and no IGNORE at all), and the answer to the RSA challenge. A failed check is
sent as a DISCONNECT starting "check failed:" and written to the report; passed steps are
written to the report as lines ("cipher 3", "session key", "camouflage 16-23", ...).

RSA is done with Python integers; the ciphers (DES, triple DES, Blowfish in CBC mode) come from
python3-cryptography, compression from zlib.
"""
import argparse
import hashlib
import os
import socket
import struct
import sys
import warnings
import zlib

warnings.filterwarnings("ignore")
from cryptography.hazmat.primitives.asymmetric import rsa  # noqa: E402
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
import fake_device  # noqa: E402

DISCONNECT, PUBLIC_KEY, SESSION_KEY, USER = 1, 2, 3, 4
AUTH_RSA, AUTH_RSA_CHALLENGE, AUTH_RSA_RESPONSE, AUTH_PASSWORD = 6, 7, 8, 9
REQUEST_PTY, WINDOW_SIZE, EXEC_SHELL, EXEC_CMD, SUCCESS, FAILURE = 10, 11, 12, 13, 14, 15
STDIN_DATA, STDOUT_DATA, STDERR_DATA, EOF, EXIT_STATUS = 16, 17, 18, 19, 20
OPEN_CONFIRMATION, OPEN_FAILURE, CHANNEL_DATA, CHANNEL_CLOSE, CLOSE_CONFIRMATION = 21, 22, 23, 24, 25
PORT_FORWARD_REQUEST, PORT_OPEN, AGENT_REQUEST_FORWARDING, AGENT_OPEN = 28, 29, 30, 31
X11_OPEN, X11_REQUEST_FORWARDING = 27, 34
IGNORE, EXIT_CONFIRMATION, DEBUG, REQUEST_COMPRESSION = 32, 33, 36, 37
AUTH_TIS, TIS_CHALLENGE, TIS_RESPONSE = 39, 40, 41
AUTH_CCARD, CCARD_CHALLENGE, CCARD_RESPONSE = 70, 71, 72
CIPHERS = {"des": 2, "3des": 3, "blowfish": 6}
AUTH_BITS = {"rsa": 2, "password": 3, "tis": 5, "ccard": 16}
IGNORE_BUG = {"1.2.18", "1.2.19", "1.2.20", "1.2.21", "1.2.22", "Cisco-1.25", "OSU_1.4alpha3", "OSU_1.5alpha4"}
PLAIN_PASSWORD = {"Cisco-1.25", "OSU_1.4alpha3"}
KEY_FILE_MAGIC = b"SSH PRIVATE KEY FILE FORMAT 1.1\n\0"


class CheckFailed(Exception):
    pass


class Closed(Exception):
    pass


# --- encodings -------------------------------------------------------------------------------

def mp(n):
    return struct.pack(">H", n.bit_length()) + n.to_bytes((n.bit_length() + 7) // 8, "big")


def string(b):
    return struct.pack(">I", len(b)) + b


def crc(data):
    """CRC-32 without the initial and final inversion, as SSH-1 packets carry it."""
    return zlib.crc32(data, 0xFFFFFFFF) ^ 0xFFFFFFFF


def nbytes(n):
    return n.to_bytes((n.bit_length() + 7) // 8, "big")


class Reader:
    def __init__(self, data):
        self.data, self.pos = data, 0

    def take(self, n):
        if self.pos + n > len(self.data):
            raise CheckFailed("packet too short")
        b = self.data[self.pos:self.pos + n]
        self.pos += n
        return b

    def u32(self):
        return struct.unpack(">I", self.take(4))[0]

    def string(self):
        return self.take(self.u32())

    def mp(self):
        bits = struct.unpack(">H", self.take(2))[0]
        return int.from_bytes(self.take((bits + 7) // 8), "big")


# --- RSA with integers -----------------------------------------------------------------------

class RsaKey:
    def __init__(self, bits):
        numbers = rsa.generate_private_key(65537, bits).private_numbers()
        self.n, self.e, self.d = numbers.public_numbers.n, numbers.public_numbers.e, numbers.d
        self.p, self.q = max(numbers.p, numbers.q), min(numbers.p, numbers.q)

    def size(self):
        return (self.n.bit_length() + 7) // 8


def pad_type2(data, size):
    padding = bytes(b % 255 + 1 for b in os.urandom(size - len(data) - 3))
    return b"\0\2" + padding + b"\0" + data


def unpad_type2(block):
    if block[:2] != b"\0\2" or b"\0" not in block[2:]:
        raise CheckFailed("session key block not in PKCS#1 type 2 form")
    separator = block.index(b"\0", 2)
    if separator < 10:
        raise CheckFailed("session key padding too short")
    return block[separator + 1:]


def rsa_decrypt(key, value):
    return pow(value, key.d, key.n).to_bytes(key.size(), "big")


# --- SSH-1 ciphers ---------------------------------------------------------------------------

def cbc(algorithm, key, encrypt):
    cipher = Cipher(algorithm(key), modes.CBC(b"\0" * 8))
    return cipher.encryptor() if encrypt else cipher.decryptor()


def swap_words(data):
    return b"".join(data[i:i + 4][::-1] for i in range(0, len(data), 4))


class SessionCipher:
    """One direction. Triple DES is three CBC passes over the data, each chaining on its own;
    Blowfish reads blocks as little-endian words."""

    def __init__(self, number, key, encrypt):
        self.number, self.encrypt = number, encrypt
        if number == 3:
            keys = [key[0:8], key[8:16], key[16:24]]
            if encrypt:
                self.passes = [cbc(algorithms.TripleDES, keys[0], True), cbc(algorithms.TripleDES, keys[1], False),
                               cbc(algorithms.TripleDES, keys[2], True)]
            else:
                self.passes = [cbc(algorithms.TripleDES, keys[2], False), cbc(algorithms.TripleDES, keys[1], True),
                               cbc(algorithms.TripleDES, keys[0], False)]
        elif number == 2:
            self.passes = [cbc(algorithms.TripleDES, key[0:8], encrypt)]
        else:
            self.passes = [cbc(algorithms.Blowfish, key, encrypt)]

    def __call__(self, data):
        if self.number == 6:
            data = swap_words(data)
        for one in self.passes:
            data = one.update(data)
        return swap_words(data) if self.number == 6 else data


# --- one connection --------------------------------------------------------------------------

class Connection:
    def __init__(self, sock, args, server_key, host_key):
        self.sock, self.args = sock, args
        self.server_key, self.host_key = server_key, host_key
        self.software = args.version.split("-", 1)[1]
        self.encrypt = self.decrypt = None
        self.compress = self.decompress = None
        self.report_lines = []
        self.ignores = []  # IGNORE string lengths since the last other packet
        self.pending_camouflage = None  # password length whose IGNOREs are still being counted
        self.failures = 0
        self.forward_target = None  # (port, host, port) of the client's remote forwarding
        self.our_channel = None
        self.x11_auth = None  # (protocol name, cookie) of the client's X11 request

    def report(self, line):
        with open(self.args.report, "a") as out:
            out.write(line + "\n")

    def recv_exact(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise Closed()
            data += chunk
        return data

    def read_packet(self):
        while True:
            length = struct.unpack(">I", self.recv_exact(4))[0]
            padded = length + 8 - length % 8
            data = self.recv_exact(padded)
            if self.decrypt:
                data = self.decrypt(data)
            if crc(data[:-4]) != struct.unpack(">I", data[-4:])[0]:
                raise CheckFailed("bad CRC")
            body = data[padded - length:-4]
            if self.decompress:
                body = self.decompress.decompress(body)
            kind, payload = body[0], body[1:]
            if kind == IGNORE:
                if self.software in IGNORE_BUG:
                    raise CheckFailed("IGNORE sent to a server that cannot take it")
                self.ignores.append(len(Reader(payload).string()))
                continue
            if kind == DEBUG:
                continue
            if kind == DISCONNECT:
                self.report("client disconnect " + Reader(payload).string().decode("latin-1"))
                raise Closed()
            if self.pending_camouflage is not None:
                self.check_camouflage()
            elif kind != AUTH_PASSWORD:
                self.ignores = []
            return kind, payload

    def send(self, kind, payload=b"", corrupt=False):
        body = bytes([kind]) + payload
        if self.compress:
            body = self.compress.compress(body) + self.compress.flush(zlib.Z_SYNC_FLUSH)
        length = len(body) + 4
        data = os.urandom(8 - length % 8) + body
        data += struct.pack(">I", crc(data) ^ (1 if corrupt else 0))
        if self.encrypt:
            data = self.encrypt(data)
        self.sock.sendall(struct.pack(">I", length) + data)

    def expect(self, *kinds):
        kind, payload = self.read_packet()
        if kind not in kinds:
            raise CheckFailed("unexpected packet type %d" % kind)
        return kind, Reader(payload)

    # -- key exchange --

    def exchange_keys(self):
        cookie = os.urandom(8)
        ciphers = sum(1 << CIPHERS[name] for name in self.args.ciphers.split(","))
        auths = sum(1 << AUTH_BITS[name] for name in self.args.auth.split(","))
        self.send(PUBLIC_KEY, cookie + struct.pack(">I", self.server_key.n.bit_length()) + mp(self.server_key.e) +
                  mp(self.server_key.n) + struct.pack(">I", self.host_key.n.bit_length()) + mp(self.host_key.e) +
                  mp(self.host_key.n) + struct.pack(">III", 1, ciphers, auths))
        self.session_id = hashlib.md5(nbytes(self.host_key.n) + nbytes(self.server_key.n) + cookie).digest()
        _, r = self.expect(SESSION_KEY)
        number = r.take(1)[0]
        if not (ciphers >> number) & 1:
            raise CheckFailed("cipher %d was not offered" % number)
        if r.take(8) != cookie:
            raise CheckFailed("cookie not returned")
        value = r.mp()
        flags = r.u32()
        outer, inner = sorted([self.server_key, self.host_key], key=lambda k: k.n, reverse=True)
        middle = unpad_type2(rsa_decrypt(outer, value))
        session_key = unpad_type2(rsa_decrypt(inner, int.from_bytes(middle, "big")))
        if len(session_key) != 32:
            raise CheckFailed("session key of %d bytes" % len(session_key))
        session_key = bytes(a ^ b for a, b in zip(session_key[:16], self.session_id)) + session_key[16:]
        self.report("cipher %d" % number)
        self.report("session key flags %d" % flags)
        self.encrypt = SessionCipher(number, session_key, True)
        self.decrypt = SessionCipher(number, session_key, False)
        self.send(SUCCESS, corrupt=self.args.corrupt_crc)

    # -- authentication --

    def authenticate(self):
        _, r = self.expect(USER)
        user = r.string().decode("latin-1")
        if user != self.args.user:
            raise CheckFailed("user " + user)
        self.report("user " + user)
        if self.args.auth == "none":
            self.send(SUCCESS)
            return
        self.send(FAILURE)
        while True:
            kind, r = self.expect(AUTH_RSA, AUTH_PASSWORD, AUTH_TIS, AUTH_CCARD)
            if self.try_method(kind, r):
                self.report("authenticated")
                self.send(SUCCESS)
                return
            self.failures += 1
            if self.failures >= 3:
                self.send(DISCONNECT, string(b"Too many authentication failures"))
                raise Closed()
            self.send(FAILURE)

    def try_method(self, kind, r):
        methods = self.args.auth.split(",")
        if kind == AUTH_RSA:
            if "rsa" not in methods or self.software == "Cisco-1.25":
                raise CheckFailed("RSA offered to a server that did not ask for it")
            return self.rsa_challenge(r.mp())
        if kind in (AUTH_TIS, AUTH_CCARD):
            name = "tis" if kind == AUTH_TIS else "ccard"
            if name not in methods or name in self.args.decline.split(","):
                self.report(name + " declined")
                self.failures -= 1
                return False
            self.send(TIS_CHALLENGE if kind == AUTH_TIS else CCARD_CHALLENGE, string(b"Challenge 4711"))
            _, answer = self.expect(TIS_RESPONSE if kind == AUTH_TIS else CCARD_RESPONSE)
            ok = answer.string().decode("latin-1") == self.args.password
            self.report("%s response %s" % (name, "ok" if ok else "wrong"))
            return ok
        return self.check_password(r.string())

    def rsa_challenge(self, modulus):
        key = read_public_key(self.args.authorized_key)
        if modulus != key[0]:
            self.report("rsa unknown key")
            return False
        challenge = (b"\0" if self.args.challenge_leading_zero else b"") + os.urandom(32)
        challenge = challenge[:32]
        n, e = key
        if self.args.bad_challenge:
            encrypted = n + 1
        else:
            size = (n.bit_length() + 7) // 8
            encrypted = pow(int.from_bytes(pad_type2(challenge, size), "big"), e, n)
        self.send(AUTH_RSA_CHALLENGE, mp(encrypted))
        _, r = self.expect(AUTH_RSA_RESPONSE)
        ok = r.take(16) == hashlib.md5(challenge + self.session_id).digest()
        self.report("rsa response " + ("ok" if ok else "wrong"))
        return ok

    def check_password(self, sent):
        password = self.args.password.encode("latin-1")
        if self.software in PLAIN_PASSWORD:
            self.report("plain password" if sent == password else "password not plain")
            return sent == password
        if self.software in IGNORE_BUG:
            padded = len(sent) == 64 and sent.startswith(password + b"\0")
            self.report("padded password" if padded else "password not padded")
            return padded
        ok = sent == password
        self.report("password " + ("ok" if ok else "wrong"))
        if ok:  # checked once the packet after it shows where the camouflage ends
            self.pending_camouflage = len(sent)
        return ok

    def check_camouflage(self):
        """After the packet that follows a password: the IGNOREs around it must fill its block."""
        length, self.pending_camouflage = self.pending_camouflage, None
        bottom = 0 if length <= 15 else length & ~7
        top = 15 if length <= 15 else length | 7
        expected = sorted(set(range(bottom, top + 1)) - {length})
        got, self.ignores = sorted(self.ignores), []
        if got != expected:
            raise CheckFailed("IGNORE lengths %s around a password of %d" % (got, length))
        self.report("camouflage %d-%d" % (bottom, top))

    # -- session --

    def prepare_session(self):
        while True:
            kind, r = self.expect(REQUEST_PTY, REQUEST_COMPRESSION, WINDOW_SIZE, EXEC_SHELL, EXEC_CMD, EOF,
                                  PORT_FORWARD_REQUEST, AGENT_REQUEST_FORWARDING, X11_REQUEST_FORWARDING)
            if kind == X11_REQUEST_FORWARDING:
                # Our protocol flags announce the screen number, so it follows the cookie.
                self.x11_auth = (r.string(), bytes.fromhex(r.string().decode()))
                self.report("x11 request %s screen %d" % (self.x11_auth[0].decode(), r.u32()))
                self.send(SUCCESS)
                continue
            if kind == PORT_FORWARD_REQUEST:
                self.forward_target = (r.u32(), r.string().decode(), r.u32())
                self.report("port forward request %d to %s:%d" % self.forward_target)
                self.send(SUCCESS)
            elif kind == AGENT_REQUEST_FORWARDING:
                self.report("agent forwarding request")
                self.send(SUCCESS)
            elif kind == REQUEST_PTY:
                term, rows, cols = r.string().decode(), r.u32(), r.u32()
                r.u32(), r.u32()
                modes_seen = []
                while True:
                    opcode = r.take(1)[0]
                    if opcode == 0:
                        break
                    modes_seen.append((opcode, r.u32() if opcode >= 192 else r.take(1)[0]))
                self.report("pty %s %dx%d %s" % (term, cols, rows, modes_seen))
                self.send(SUCCESS)
            elif kind == REQUEST_COMPRESSION:
                level = r.u32()
                if not self.args.compression:
                    self.send(FAILURE)
                    continue
                self.report("compression %d" % level)
                self.send(SUCCESS)
                self.compress = zlib.compressobj(level)
                self.decompress = zlib.decompressobj()
            elif kind in (EXEC_SHELL, EXEC_CMD):
                return r.string().decode("latin-1") if kind == EXEC_CMD else None

    def run_command(self, command):
        self.report("command " + command)
        if self.args.stray_close:
            self.send(CHANNEL_CLOSE, struct.pack(">I", 5))
        self.send(STDOUT_DATA, string(b"ran " + command.encode() + b"\r\n"))
        self.send(STDERR_DATA, string(b"to stderr\r\n"))
        for _ in range(self.args.output_kb):
            self.send(STDOUT_DATA, string(b"0123456789abcdef" * 64))
        if self.forward_target:
            self.open_remote_forward()
        if self.args.connect_local:
            self.relay_local_forward()
        if self.args.agent_open:
            self.ask_forwarded_agent()
        if self.x11_auth:
            self.connect_x11()
        return 3

    def connect_x11(self):
        """An X11 client's setup with the cookie we were given: the client passes it on to its
        display (an echo server here) with the display's own authorisation in its place."""
        self.our_channel = 10
        self.send(X11_OPEN, struct.pack(">I", self.our_channel))
        client_channel = self.channel_packet(OPEN_CONFIRMATION)[1].u32()
        name, cookie = self.x11_auth
        setup = b"l\0" + struct.pack("<HHHHxx", 11, 0, len(name), len(cookie))
        setup += name + b"\0" * (-len(name) % 4) + cookie + b"\0" * (-len(cookie) % 4)
        self.send(CHANNEL_DATA, struct.pack(">I", client_channel) + string(setup))
        echoed = b""
        while len(echoed) < 12:
            echoed += self.channel_packet(CHANNEL_DATA)[1].string()
        self.report("x11 display got auth name length %d data length %d" % struct.unpack("<HH", echoed[6:10]))
        self.close_channel(client_channel, "x11")

    # -- forwarded channels (our channel numbers 7 and up; the client's are its own) --

    def channel_packet(self, *kinds):
        """The next channel packet of these kinds, its channel number checked against ours."""
        kind, r = self.expect(*kinds)
        if r.u32() != self.our_channel:
            raise CheckFailed("packet for a channel not ours")
        return kind, r

    def close_channel(self, client_channel, what):
        """Our CLOSE; the client answers with its CLOSE and CLOSE_CONFIRMATION; ours ends it."""
        self.send(CHANNEL_CLOSE, struct.pack(">I", client_channel))
        seen = {self.channel_packet(CHANNEL_CLOSE, CLOSE_CONFIRMATION)[0],
                self.channel_packet(CHANNEL_CLOSE, CLOSE_CONFIRMATION)[0]}
        if seen != {CHANNEL_CLOSE, CLOSE_CONFIRMATION}:
            raise CheckFailed("%s channel not closed both ways" % what)
        self.send(CLOSE_CONFIRMATION, struct.pack(">I", client_channel))
        self.report("%s channel closed" % what)

    def open_remote_forward(self):
        """A connection to the forwarded port: the client connects it to the target, which echoes."""
        self.our_channel = 7
        _, host, port = self.forward_target
        self.send(PORT_OPEN, struct.pack(">I", self.our_channel) + string(host.encode()) + struct.pack(">I", port))
        kind, r = self.channel_packet(OPEN_CONFIRMATION, OPEN_FAILURE)
        if kind == OPEN_FAILURE:
            self.report("remote port open refused")
            return
        client_channel = r.u32()
        self.send(CHANNEL_DATA, struct.pack(">I", client_channel) + string(b"ping over ssh-1"))
        echoed = b""
        while len(echoed) < 15:
            echoed += self.channel_packet(CHANNEL_DATA)[1].string()
        self.report("remote forward echoed " + echoed.decode())
        self.close_channel(client_channel, "remote forward")

    def relay_local_forward(self):
        """Connects to the client's local forwarding and answers the PORT_OPEN it makes, upper-casing."""
        local = socket.create_connection(("127.0.0.1", self.args.connect_local))
        local.sendall(b"hello forward")
        kind, r = self.expect(PORT_OPEN)
        client_channel, host, port = r.u32(), r.string().decode(), r.u32()
        self.report("port open to %s:%d" % (host, port))
        self.our_channel = 8
        self.send(OPEN_CONFIRMATION, struct.pack(">II", client_channel, self.our_channel))
        got = b""
        while len(got) < 13:
            got += self.channel_packet(CHANNEL_DATA)[1].string()
        self.send(CHANNEL_DATA, struct.pack(">I", client_channel) + string(got.upper()))
        back = b""
        while len(back) < 13:
            back += local.recv(64)
        self.report("local forward relayed " + back.decode())
        local.close()
        # The client's connection ended: its CLOSE first, then our CLOSE and both confirmations.
        self.channel_packet(CHANNEL_CLOSE)
        self.send(CHANNEL_CLOSE, struct.pack(">I", client_channel))
        self.send(CLOSE_CONFIRMATION, struct.pack(">I", client_channel))
        self.channel_packet(CLOSE_CONFIRMATION)
        self.report("local forward channel closed")

    def ask_forwarded_agent(self):
        """An agent channel: the identity request in two pieces, the answer in as many as it comes."""
        self.our_channel = 9
        self.send(AGENT_OPEN, struct.pack(">I", self.our_channel))
        client_channel = self.channel_packet(OPEN_CONFIRMATION)[1].u32()
        request = struct.pack(">IB", 1, 1)
        self.send(CHANNEL_DATA, struct.pack(">I", client_channel) + string(request[:3]))
        self.send(CHANNEL_DATA, struct.pack(">I", client_channel) + string(request[3:]))
        answer = b""
        while len(answer) < 4 or len(answer) < 4 + struct.unpack(">I", answer[:4])[0]:
            answer += self.channel_packet(CHANNEL_DATA)[1].string()
        self.report("agent answered type %d with %d keys" % (answer[4], struct.unpack(">I", answer[5:9])[0]))
        self.close_channel(client_channel, "agent")

    def run_shell(self):
        def read():
            while True:
                kind, r = self.expect(STDIN_DATA, EOF, WINDOW_SIZE)
                if kind == STDIN_DATA:
                    return r.string()
                if kind == EOF:
                    return b""

        channel = fake_device.Channel(read, lambda b: self.send(STDOUT_DATA, string(b)), None)
        options = argparse.Namespace(config=self.args.config, no_login=True, session_marker="", page=self.args.page,
                                     erase="backspace", enable_password="", user="", password="")
        try:
            fake_device.conversation(channel, options)
        except fake_device.Closed:
            return None
        return 0

    def serve(self):
        self.sock.sendall(("SSH-%s\n" % self.args.version).encode())
        line = b""
        while not line.endswith(b"\n"):
            line += self.recv_exact(1)
        self.report("client " + line.decode("latin-1").strip())
        self.exchange_keys()
        self.authenticate()
        command = self.prepare_session()
        status = self.run_shell() if command is None else self.run_command(command)
        if status is None:
            return
        self.send(EXIT_STATUS, struct.pack(">I", status))
        self.expect(EXIT_CONFIRMATION)
        self.report("exit confirmed")


def key_file_reader(path):
    """A reader at the key file's public key (bit count, modulus, exponent)."""
    with open(path, "rb") as source:
        return Reader(source.read()[len(KEY_FILE_MAGIC) + 5:])


def read_public_key(path):
    r = key_file_reader(path)
    r.u32()
    return r.mp(), r.mp()


def read_key_file(path):
    """n, e and d of an unencrypted key file."""
    r = key_file_reader(path)
    r.u32()
    n, e = r.mp(), r.mp()
    r.string()
    r.take(4)
    return n, e, r.mp()


def serve_agent(args):
    """The SSH-1 agent messages: the identity list (1 -> 2) and the challenge answer (3 -> 4)."""
    n, e, d = read_key_file(args.agent_key)
    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    listener.bind(args.agent_socket)
    listener.listen(4)
    while True:
        sock, _ = listener.accept()
        conn = Connection(sock, args, None, None)
        try:
            while True:
                r = Reader(conn.recv_exact(struct.unpack(">I", conn.recv_exact(4))[0]))
                kind = r.take(1)[0]
                if kind == 1:
                    reply = b"\2" + struct.pack(">II", 1, n.bit_length()) + mp(e) + mp(n) + string(b"agent key")
                elif kind == 3:
                    r.u32(), r.mp()
                    if r.mp() != n:
                        reply = b"\5"
                    else:
                        challenge = unpad_type2(pow(r.mp(), d, n).to_bytes((n.bit_length() + 7) // 8, "big"))
                        reply = b"\4" + hashlib.md5(challenge[-32:].rjust(32, b"\0") + r.take(16)).digest()
                else:
                    reply = b"\5"
                sock.sendall(string(reply))
        except (Closed, CheckFailed, OSError):
            pass
        finally:
            sock.close()


def write_key_file(path, passphrase):
    """The SSH-1 private key file: public part in clear, private part under two-key triple DES
    keyed by the pass phrase's MD5 (three single-DES CBC passes, as the format has it)."""
    key = RsaKey(1024)
    iqmp = pow(key.q, -1, key.p)
    private = b"\x4d\x9b\x4d\x9b" + mp(key.d) + mp(iqmp) + mp(key.q) + mp(key.p)
    private += b"\0" * (-len(private) % 8)
    cipher = 0
    if passphrase:
        cipher = 3
        k = hashlib.md5(passphrase.encode()).digest()
        for one in (cbc(algorithms.TripleDES, k[0:8], True), cbc(algorithms.TripleDES, k[8:16], False),
                    cbc(algorithms.TripleDES, k[0:8], True)):
            private = one.update(private)
    data = (KEY_FILE_MAGIC + bytes([cipher]) + b"\0" * 4 + struct.pack(">I", key.n.bit_length()) + mp(key.n) +
            mp(key.e) + string(b"test key") + private)
    with open(path, "wb") as out:
        out.write(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--make-key")
    parser.add_argument("--agent-socket")
    parser.add_argument("--agent-key")
    parser.add_argument("--passphrase", default="")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--report")
    parser.add_argument("--version", default="1.5-Scripted_1.0")
    parser.add_argument("--ciphers", default="3des,blowfish")
    parser.add_argument("--auth", default="password")
    parser.add_argument("--decline", default="")
    parser.add_argument("--user", default="admin")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--authorized-key")
    parser.add_argument("--challenge-leading-zero", action="store_true")
    parser.add_argument("--bad-challenge", action="store_true")
    parser.add_argument("--corrupt-crc", action="store_true")
    parser.add_argument("--stray-close", action="store_true")
    parser.add_argument("--compression", action="store_true")
    parser.add_argument("--connect-local", type=int, help="the client's local forwarding port to connect to")
    parser.add_argument("--agent-open", action="store_true")
    parser.add_argument("--output-kb", type=int, default=0)
    parser.add_argument("--config", help="the fake device's configuration: the shell serves its command line")
    parser.add_argument("--page", type=int, default=400)
    args = parser.parse_args()
    if args.make_key:
        write_key_file(args.make_key, args.passphrase)
        return
    if args.agent_socket:
        serve_agent(args)
        return
    server_key, host_key = RsaKey(768), RsaKey(1024)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(4)
    while True:
        sock, _ = listener.accept()
        connection = Connection(sock, args, server_key, host_key)
        try:
            connection.serve()
        except CheckFailed as failure:
            connection.report("check failed: %s" % failure)
            try:
                connection.send(DISCONNECT, string(("check failed: %s" % failure).encode()))
            except OSError:
                pass
        except (Closed, OSError, fake_device.Closed):
            pass
        finally:
            sock.close()


if __name__ == "__main__":
    main()
