#!/usr/bin/python3
"""SSH-2 servers that misbehave, for the service's shell scans.

usage: ssh_hostile_server.py PORT MODE [ADDRESS]
  rsa-16385      offers a 16385-bit RSA host key (with a signature that cannot be right)
  rsa-11400      offers an RSA host key whose modulus and exponent are 11,400 bytes each
  close-at-kex   finishes the key exchange properly (paramiko), then closes before any login
  unknown-close  logs any password in, opens the shell, then closes a channel it never opened
  unknown-request  the same with a request for a channel it never opened
  close-at-shell   logs any password in, opens the shell, then closes half a second later without output
  silent          takes the connection and never says a word (also a proxy that never answers)
  trickle-banner  sends banner text before its version line, a byte every 50 ms, for ever
  trickle-kex     sends its version line, then a large key exchange packet a byte every 50 ms
  ignore-flood    sends its version line, then IGNORE messages for ever instead of its KEXINIT
  ignore-at-login finishes the key exchange, then answers the password with IGNORE messages for ever
Serves connections on ADDRESS (127.0.0.1) until killed."""
import hashlib
import os
import socket
import struct
import sys
import threading
import time

GROUP14_P = int(
    "FFFFFFFFFFFFFFFFC90FDAA22168C234C4C6628B80DC1CD129024E088A67CC74020BBEA63B139B22514A08798E3404DD"
    "EF9519B3CD3A431B302B0A6DF25F14374FE1356D6D51C245E485B576625E7EC6F44C42E9A637ED6B0BFF5CB6F406B7ED"
    "EE386BFB5A899FA5AE9F24117C4B1FE649286651ECE45B3DC2007CB8A163BF0598DA48361C55D39A69163FA8FD24CF5F"
    "83655D23DCA3AD961C62F356208552BB9ED529077096966D670C354E4ABC9804F1746C08CA18217C32905E462E36CE3B"
    "E39E772C180E86039B2783A2EC07A28FB5C55DF06F4C52C9DE2BCBF6955817183995497CEA956AE515D2261898FA0510"
    "15728E5A8AACAA68FFFFFFFFFFFFFFFF", 16)


def string(data):
    return struct.pack(">I", len(data)) + data


def mpint(value):
    body = value.to_bytes((value.bit_length() + 8) // 8, "big") if value else b""
    return string(body)


def name_list(*names):
    return string(",".join(names).encode())


def packet(payload):
    padding = 8 - (len(payload) + 5) % 8
    padding += 8 if padding < 4 else 0
    return struct.pack(">IB", len(payload) + padding + 1, padding) + payload + os.urandom(padding)


def read_exact(conn, count):
    data = b""
    while len(data) < count:
        chunk = conn.recv(count - len(data))
        if not chunk:
            raise EOFError
        data += chunk
    return data


def read_packet(conn):
    length, padding = struct.unpack(">IB", read_exact(conn, 5))
    return read_exact(conn, length - 1)[:length - 1 - padding]


def oversized_key(mode):
    if mode == "rsa-16385":
        return (1 << 16384) | 0xFFFF, 65537
    big = int.from_bytes(b"\x7f" + os.urandom(11399), "big")
    return big | 1, big >> 8


def serve_oversized(conn, mode):
    n, e = oversized_key(mode)
    conn.sendall(b"SSH-2.0-Hostile\r\n")
    line = b""
    while not line.endswith(b"\n"):
        line += read_exact(conn, 1)
    kexinit = (bytes([20]) + os.urandom(16) + name_list("diffie-hellman-group14-sha1") + name_list("ssh-rsa") +
               name_list("aes128-ctr") * 2 + name_list("hmac-sha1") * 2 + name_list("none") * 2 +
               name_list() * 2 + b"\0" + struct.pack(">I", 0))
    conn.sendall(packet(kexinit))
    while read_packet(conn)[0] != 30:  # the client's KEXINIT, then its KEXDH_INIT
        pass
    host_key = string(b"ssh-rsa") + mpint(e) + mpint(n)
    signature = string(b"ssh-rsa") + string(os.urandom(len(host_key) // 2))
    f = pow(2, int.from_bytes(os.urandom(32), "big"), GROUP14_P)
    conn.sendall(packet(bytes([31]) + string(host_key) + mpint(f) + string(signature)))
    while conn.recv(65536):
        pass


def serve_close_at_kex(conn, host_key):
    import paramiko
    transport = paramiko.Transport(conn)
    options = transport.get_security_options()
    options.key_types = ["ssh-rsa"]
    options.kex = ["diffie-hellman-group14-sha1"]  # it offers group exchange it cannot serve
    transport.add_server_key(host_key)
    done = threading.Event()
    transport.start_server(event=done, server=paramiko.ServerInterface())
    done.wait(30)
    conn.shutdown(socket.SHUT_RDWR)
    transport.close()


def serve_ignore_at_login(conn, host_key):
    import paramiko
    answered = threading.Event()

    class Device(paramiko.ServerInterface):
        def get_allowed_auths(self, username):
            return "password"

        def check_auth_password(self, username, password):
            answered.set()
            time.sleep(3600)
            return paramiko.AUTH_FAILED

    transport = paramiko.Transport(conn)
    options = transport.get_security_options()
    options.key_types = ["ssh-rsa"]
    options.kex = ["diffie-hellman-group14-sha1"]
    transport.add_server_key(host_key)
    transport.start_server(server=Device())
    answered.wait(30)
    while transport.is_active():
        transport.send_ignore(16)
        time.sleep(0.005)


def serve_unknown_channel(conn, host_key, mode):
    import paramiko
    from paramiko.common import cMSG_CHANNEL_CLOSE, cMSG_CHANNEL_REQUEST

    class Device(paramiko.ServerInterface):
        def __init__(self):
            self.shell = threading.Event()

        def get_allowed_auths(self, username):
            return "password"

        def check_auth_password(self, username, password):
            return paramiko.AUTH_SUCCESSFUL

        def check_channel_request(self, kind, chanid):
            return paramiko.OPEN_SUCCEEDED

        def check_channel_pty_request(self, *args):
            return True

        def check_channel_shell_request(self, channel):
            self.shell.set()
            return True

    transport = paramiko.Transport(conn)
    options = transport.get_security_options()
    options.key_types = ["ssh-rsa"]
    options.kex = ["diffie-hellman-group14-sha1"]
    transport.add_server_key(host_key)
    device = Device()
    transport.start_server(server=device)
    channel = transport.accept(30)
    if channel is None or not device.shell.wait(30):
        return
    if mode == "close-at-shell":
        time.sleep(0.5)  # the client has the shell by then
        transport.close()
        return
    channel.send(b"Router#")
    message = paramiko.Message()
    if mode == "unknown-close":
        message.add_byte(cMSG_CHANNEL_CLOSE)
        message.add_int(4242)
    else:
        message.add_byte(cMSG_CHANNEL_REQUEST)
        message.add_int(4242)
        message.add_string("exit-status")
        message.add_boolean(False)
        message.add_int(0)
    transport._send_user_message(message)
    transport.join(30)


def trickle(conn, data):
    for i in range(len(data)):
        conn.sendall(data[i:i + 1])
        time.sleep(0.05)


def serve_slowly(conn, mode):
    if mode == "trickle-banner":
        while True:
            trickle(conn, b"Welcome to a device that takes its time\r\n")
    if mode != "silent":
        conn.sendall(b"SSH-2.0-Hostile\r\n")
    if mode == "trickle-kex":
        names = ",".join("kex-%d@example.com" % i for i in range(1500))
        trickle(conn, packet(bytes([20]) + os.urandom(16) + name_list(names) + name_list("ssh-rsa") +
                             name_list("aes128-ctr") * 2 + name_list("hmac-sha1") * 2 + name_list("none") * 2 +
                             name_list() * 2 + b"\0" + struct.pack(">I", 0)))
    while mode == "ignore-flood":
        conn.sendall(packet(bytes([2]) + string(b"nothing to see")))
        time.sleep(0.005)
    while conn.recv(65536):
        pass


def serve(conn, mode, host_key):
    try:
        if mode in ("silent", "trickle-banner", "trickle-kex", "ignore-flood"):
            serve_slowly(conn, mode)
        elif mode == "ignore-at-login":
            serve_ignore_at_login(conn, host_key)
        elif mode == "close-at-kex":
            serve_close_at_kex(conn, host_key)
        elif mode.startswith("unknown-") or mode == "close-at-shell":
            serve_unknown_channel(conn, host_key, mode)
        else:
            serve_oversized(conn, mode)
    except (EOFError, OSError):
        pass
    finally:
        conn.close()


def main():
    port, mode = int(sys.argv[1]), sys.argv[2]
    address = sys.argv[3] if len(sys.argv) > 3 else "127.0.0.1"
    host_key = None
    if mode.startswith("close-at-") or mode.startswith("unknown-") or mode == "ignore-at-login":
        import paramiko
        host_key = paramiko.RSAKey.generate(1024)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, port))
    listener.listen(8)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn, mode, host_key), daemon=True).start()


if __name__ == "__main__":
    main()
