"""A scripted SSH-2 server (paramiko) for what OpenSSH no longer offers: the old-style group
exchange request, plain "zlib", 3des-cbc and chosen version strings.

usage: ssh_paramiko_server.py PORT HOSTKEY [--version TEXT] [--kex NAME] [--cipher NAME]
                              [--compress] [--rekey-bytes N] [--wrong-mac]
Serves connections until killed; each one ends when the client leaves."""
import argparse
import socket
import threading

import paramiko


def serve(conn, args, key):
    transport = paramiko.Transport(conn)
    transport.load_server_moduli()
    if args.version:
        transport.local_version = args.version
    options = transport.get_security_options()
    if args.kex:
        options.kex = [args.kex]
    if args.cipher:
        options.ciphers = [args.cipher]
    options.key_types = ["ssh-rsa"]
    if args.compress:
        transport.use_compression(True)
        options.compression = ["zlib"]
    transport.add_server_key(key)
    try:
        transport.start_server(server=paramiko.ServerInterface())
        while transport.is_active():
            transport.join(0.2)
    except Exception:
        pass
    finally:
        transport.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("hostkey")
    parser.add_argument("--version")
    parser.add_argument("--kex")
    parser.add_argument("--cipher")
    parser.add_argument("--compress", action="store_true")
    parser.add_argument("--rekey-bytes", type=int)
    parser.add_argument("--wrong-mac", action="store_true")
    args = parser.parse_args()
    if args.wrong_mac:
        # Every packet after the key exchange carries a MAC made with a key the client does not have.
        keyed = paramiko.packet.Packetizer.set_outbound_cipher

        def wrong_key(self, block_engine, block_size, mac_engine, mac_size, mac_key, *rest, **options):
            mac_key = bytes([mac_key[0] ^ 1]) + mac_key[1:]
            return keyed(self, block_engine, block_size, mac_engine, mac_size, mac_key, *rest, **options)

        paramiko.packet.Packetizer.set_outbound_cipher = wrong_key
    if args.rekey_bytes:
        # The server starts a key exchange after this much traffic in either direction.
        paramiko.packet.Packetizer.REKEY_BYTES = args.rekey_bytes
    key = paramiko.RSAKey(filename=args.hostkey)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(8)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn, args, key), daemon=True).start()


if __name__ == "__main__":
    main()
