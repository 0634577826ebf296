"""Loopback echo server for the probe test: prints its port, echoes one connection, exits."""
import socket
import sys

listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
listener.bind(("127.0.0.1", 0))
listener.listen(1)
listener.settimeout(20)
print(listener.getsockname()[1], flush=True)
try:
    connection, _ = listener.accept()
except socket.timeout:
    sys.exit(1)
connection.settimeout(20)
with connection:
    while True:
        try:
            data = connection.recv(4096)
        except socket.timeout:
            break
        if not data:
            break
        connection.sendall(data)
