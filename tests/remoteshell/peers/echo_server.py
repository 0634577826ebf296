#!/usr/bin/python3
"""TCP echo on 127.0.0.1: `echo_server.py PORT` serves; `echo_server.py PORT TEXT` is a client
that sends the text, prints what comes back once it is as long, and only then closes (it never
half-closes, so a forwarding that ends on the first close still carries the reply). With a
third argument, the echo server's port, PORT is a SOCKS 4 proxy: the request for 127.0.0.1 at
that port and the text go out in one write, and the 8-byte answer is read before the echo."""
import socket
import sys
import threading


def echo(connection):
    with connection:
        while data := connection.recv(4096):
            connection.sendall(data)


def client(port, text, via_socks_to=None):
    with socket.create_connection(("127.0.0.1", port), timeout=5) as connection:
        if via_socks_to is None:
            connection.sendall(text.encode())
        else:
            request = bytes([4, 1]) + via_socks_to.to_bytes(2, "big") + bytes([127, 0, 0, 1]) + b"u\0"
            connection.sendall(request + text.encode())
            answer = b""
            while len(answer) < 8:
                answer += connection.recv(8 - len(answer))
            if answer[1] != 0x5A:
                return
        received = b""
        while len(received) < len(text):
            data = connection.recv(4096)
            if not data:
                break
            received += data
        print(received.decode())


if len(sys.argv) > 2:
    client(int(sys.argv[1]), sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else None)
    sys.exit(0)
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", int(sys.argv[1])))
listener.listen()
while True:
    connection, _ = listener.accept()
    threading.Thread(target=echo, args=(connection,), daemon=True).start()
