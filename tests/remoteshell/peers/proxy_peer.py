"""Small proxies the packaged ones do not cover: SOCKS 4A (the proxy resolves the name),
SOCKS 5 with CHAP (HMAC-MD5) and a telnet-command proxy ("connect HOST PORT" line); and, for
tests that want no packaged proxy, HTTP CONNECT and SOCKS 5 without authentication.

usage: proxy_peer.py MODE PORT LOG [USER PASSWORD]
MODE is socks4a, chap, telnet, http or socks5. Each connection is negotiated, connected to the destination
and relayed both ways. What the client asked for is appended to the file LOG."""
import hashlib
import hmac
import os
import socket
import sys
import threading

LOG = None


def read_exact(conn, n):
    data = b""
    while len(data) < n:
        chunk = conn.recv(n - len(data))
        if not chunk:
            raise EOFError
        data += chunk
    return data


def read_until(conn, end):
    data = b""
    while not data.endswith(end):
        chunk = conn.recv(1)
        if not chunk:
            raise EOFError
        data += chunk
    return data


def note(port, text):
    with open(LOG, "a") as log:
        log.write(text + "\n")


def relay(a, b):
    def pump(src, dst):
        try:
            while True:
                data = src.recv(65536)
                if not data:
                    break
                dst.sendall(data)
        except OSError:
            pass
        finally:
            try:
                dst.shutdown(socket.SHUT_WR)
            except OSError:
                pass
    threading.Thread(target=pump, args=(a, b), daemon=True).start()
    pump(b, a)


def socks4a(conn, port, args):
    head = read_exact(conn, 8)
    user = read_until(conn, b"\0")[:-1].decode()
    host = read_until(conn, b"\0")[:-1].decode() if head[4:7] == b"\0\0\0" else socket.inet_ntoa(head[4:8])
    dport = int.from_bytes(head[2:4], "big")
    note(port, f"socks4 user={user} host={host} port={dport}")
    target = socket.create_connection((host, dport))
    conn.sendall(b"\0\x5a" + b"\0" * 6)
    return target


def socks5_destination(conn):
    """The address and port that a SOCKS 5 request asks for."""
    request = read_exact(conn, 4)
    if request[3] == 1:
        host = socket.inet_ntoa(read_exact(conn, 4))
    else:
        host = read_exact(conn, read_exact(conn, 1)[0]).decode()
    return host, int.from_bytes(read_exact(conn, 2), "big")


def chap(conn, port, args):
    user, password = args
    greeting = read_exact(conn, 2)
    methods = read_exact(conn, greeting[1])
    if 3 not in methods:
        conn.sendall(b"\x05\xff")
        raise EOFError
    conn.sendall(b"\x05\x03")
    version, count = read_exact(conn, 2)
    attributes = {}
    for _ in range(count):
        kind, length = read_exact(conn, 2)
        attributes[kind] = read_exact(conn, length)
    challenge = os.urandom(16)
    conn.sendall(bytes([1, 2, 0x11, 1, 0x85, 0x03, 16]) + challenge)
    version, count = read_exact(conn, 2)
    kind, length = read_exact(conn, 2)
    response = read_exact(conn, length)
    expected = hmac.new(password.encode(), challenge, hashlib.md5).digest()
    ok = attributes.get(0x02, b"").decode() == user and response == expected
    conn.sendall(bytes([1, 1, 0x00, 1, 0 if ok else 1]))
    note(port, f"chap user={attributes.get(0x02, b'').decode()} ok={ok}")
    if not ok:
        raise EOFError
    host, dport = socks5_destination(conn)
    target = socket.create_connection((host, dport))
    # A domain-name answer (length 9) makes the client read the whole variable-length reply.
    conn.sendall(b"\x05\x00\x00\x03\x09" + b"proxyname" + b"\0\0")
    return target


def telnet(conn, port, args):
    line = read_until(conn, b"\n").decode()
    note(port, "telnet " + line.rstrip("\n"))
    words = line.split()
    target = socket.create_connection((words[1], int(words[2])))
    return target


def http(conn, port, args):
    request = read_until(conn, b"\r\n\r\n").decode()
    destination = request.split()[1]
    note(port, "http " + destination)
    host, _, dport = destination.rpartition(":")
    target = socket.create_connection((host.strip("[]"), int(dport)))
    conn.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
    return target


def socks5(conn, port, args):
    greeting = read_exact(conn, 2)
    read_exact(conn, greeting[1])
    conn.sendall(b"\x05\x00")
    host, dport = socks5_destination(conn)
    note(port, f"socks5 host={host} port={dport}")
    target = socket.create_connection((host, dport))
    conn.sendall(b"\x05\x00\x00\x01" + b"\0" * 6)
    return target


def serve(conn, mode, port, args):
    try:
        modes = {"socks4a": socks4a, "chap": chap, "telnet": telnet, "http": http, "socks5": socks5}
        target = modes[mode](conn, port, args)
        relay(conn, target)
    except (EOFError, OSError):
        pass
    finally:
        conn.close()


def main():
    global LOG
    mode, port, LOG = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    args = sys.argv[4:]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(8)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn, mode, port, args), daemon=True).start()


if __name__ == "__main__":
    main()
