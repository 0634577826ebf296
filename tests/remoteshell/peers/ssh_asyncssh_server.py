"""A scripted SSH-2 server (asyncssh) for the ciphers that neither OpenSSH nor paramiko still
offer: blowfish-cbc, arcfour128 and arcfour256.

usage: ssh_asyncssh_server.py PORT HOSTKEY --cipher NAME [--mac NAME]
Serves connections until killed; no login succeeds."""
import argparse
import asyncio
import warnings

warnings.simplefilter("ignore")  # the cryptography library warns about the old ciphers

import asyncssh  # noqa: E402


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("hostkey")
    parser.add_argument("--cipher", required=True)
    parser.add_argument("--mac", default="hmac-sha1")
    args = parser.parse_args()
    await asyncssh.listen(
        "127.0.0.1",
        args.port,
        server_host_keys=[args.hostkey],
        kex_algs=["diffie-hellman-group14-sha1"],
        encryption_algs=[args.cipher],
        mac_algs=[args.mac],
        compression_algs=["none"],
    )
    await asyncio.Event().wait()


if __name__ == "__main__":
    asyncio.run(main())
