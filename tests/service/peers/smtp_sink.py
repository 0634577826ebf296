#!/usr/bin/python3
"""Loopback SMTP sink for the e-mail action tests.

Listens on 127.0.0.1 at a port the system picks, prints "PORT <n>" once ready, and stores every
accepted message in the output folder as message-NNN.eml (the content exactly as received,
after the end-of-data and dot-stuffing are undone) and message-NNN.env (mail_from=, rcpt_to= and
login= lines). With --user and --password, AUTH LOGIN with exactly those is required before
MAIL. A recipient containing "reject" is refused with a 550 reply that also holds "250".
"""
import argparse
import asyncio
import os
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if "reject" in address:
            return "550 mailbox unavailable (not 250)"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "message-%03d" % self.count)
        with open(base + ".eml", "wb") as out:
            out.write(envelope.original_content)
        lines = ["mail_from=%s" % envelope.mail_from]
        lines += ["rcpt_to=%s" % address for address in envelope.rcpt_tos]
        lines.append("login=%s" % (session.auth_data if session.authenticated else ""))
        with open(base + ".tmp", "w", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")
        # The envelope file appears last and whole: its presence means the message is complete.
        os.rename(base + ".tmp", base + ".env")
        return "250 Message accepted for delivery"


def make_authenticator(user, password):
    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (mechanism == "LOGIN" and isinstance(auth_data, LoginPassword)
              and auth_data.login == user.encode() and auth_data.password == password.encode())
        return AuthResult(success=ok, handled=False, auth_data=user if ok else None)
    return authenticator


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--user")
    parser.add_argument("--password")
    args = parser.parse_args()

    sink = Sink(args.out)
    options = {"hostname": "sink.localdomain"}
    if args.user is not None:
        options.update(authenticator=make_authenticator(args.user, args.password or ""),
                       auth_required=True, auth_require_tls=False)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(sink, loop=loop, **options), "127.0.0.1", 0)
    port = server.sockets[0].getsockname()[1]
    print("PORT %d" % port, flush=True)
    # Ends when the test closes our standard input (or goes away), so no sink outlives it.
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
