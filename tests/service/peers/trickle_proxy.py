#!/usr/bin/python3
"""A TCP proxy on 127.0.0.1 before a server (an SSH server in the tests) that hands the first
--slow bytes of the server's side to the client in --piece byte pieces, --pause seconds apart:
a device whose key exchange takes longer than the client's time-out while it keeps sending.
The rest, and all the client sends, passes at once. Listens on --port; runs until
killed, one thread pair per connection."""
import argparse
import socket
import threading
import time


def pump(source, target, slow, piece, pause):
    sent = 0
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            while data:
                size = piece if sent < slow else len(data)
                target.sendall(data[:size])
                sent += len(data[:size])
                data = data[size:]
                if sent < slow + piece and size == piece:
                    time.sleep(pause)
    except OSError:
        pass
    for end in (source, target):
        try:
            end.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--target", type=int, required=True)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--slow", type=int, default=4096)
    parser.add_argument("--piece", type=int, default=100)
    parser.add_argument("--pause", type=float, default=0.15)
    args = parser.parse_args()
    listener = socket.create_server(("127.0.0.1", args.port))
    while True:
        client, _ = listener.accept()
        server = socket.create_connection(("127.0.0.1", args.target))
        threading.Thread(target=pump, args=(server, client, args.slow, args.piece, args.pause), daemon=True).start()
        threading.Thread(target=pump, args=(client, server, 0, 65536, 0), daemon=True).start()


if __name__ == "__main__":
    main()
