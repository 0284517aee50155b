# SMTP servers on loopback for the Windows mail tests, all in one process:
#   plain      no TLS, no login; refuses recipients named nobody@...
#   auth       login with PLAIN or LOGIN on a plain connection
#   authlogin  login with LOGIN only
#   starttls   STARTTLS with the certificate given, required before mail
#   smtps      TLS from the first byte with that certificate
#   silent     takes connections and never says a word
#   longline   greets with a line that never ends
#   endless    answers EHLO with continuation lines that never end
#   injecting  sends a reply of its own after STARTTLS's, before any TLS
#   closed     a port nobody listens on
# Usage: smtp_servers.py FOLDER CERT KEY. Each server's messages land in
# FOLDER/NAME as mail_files.py keeps them (NNNN.eml, NNNN.txt); logins in
# FOLDER/NAME/logins; "ports" (NAME=PORT lines) is written once all listen.
import asyncio
import os
import socket
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

from mail_files import keep_message, put

folder, cert, key = sys.argv[1:4]
USER, PASSWORD = b"console", b"pa ss:w\xc3\xb6rd"


def append(path, line):
    with open(path, "a") as f:
        f.write(line + "\n")


class Keeper:
    def __init__(self, name):
        self.folder = os.path.join(folder, name)
        os.makedirs(self.folder, exist_ok=True)
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, options):
        if address.startswith("nobody@"):
            return "550 no such user"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        keep_message(os.path.join(self.folder, "%04d" % self.count), envelope)
        return "250 OK"


def authenticator(keeper):
    def check(server, session, envelope, mechanism, data):
        ok = isinstance(data, LoginPassword) and data.login == USER and data.password == PASSWORD
        append(os.path.join(keeper.folder, "logins"), "%s %s" % (mechanism, "ok" if ok else "bad"))
        return AuthResult(success=ok, handled=False)
    return check


def smtp_factory(name, **options):
    keeper = Keeper(name)

    def make():
        append(os.path.join(keeper.folder, "connections"), "connection")
        return SMTP(keeper, **options)
    return make


class LongLine(asyncio.Protocol):
    def connection_made(self, transport):
        transport.write(b"220-" + b"x" * 100000)


class Endless(asyncio.Protocol):
    def connection_made(self, transport):
        self.transport = transport
        transport.write(b"220 endless ready\r\n")

    def data_received(self, data):
        if data.upper().startswith(b"EHLO"):
            for _ in range(5000):
                self.transport.write(b"250-ENDLESS\r\n")


class Injecting(asyncio.Protocol):
    def connection_made(self, transport):
        self.transport = transport
        transport.write(b"220 injecting ready\r\n")

    def data_received(self, data):
        if data.upper().startswith(b"EHLO"):
            self.transport.write(b"250-injecting\r\n250 STARTTLS\r\n")
        elif data.upper().startswith(b"STARTTLS"):
            self.transport.write(b"220 go ahead\r\n250 injected\r\n")


async def main():
    loop = asyncio.get_running_loop()
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    ports = {}

    async def serve(name, factory, **options):
        server = await loop.create_server(factory, "127.0.0.1", 0, **options)
        ports[name] = server.sockets[0].getsockname()[1]
        return server

    servers = [
        await serve("plain", smtp_factory("plain")),
        await serve("auth", smtp_factory("auth", auth_require_tls=False,
                                         authenticator=authenticator(Keeper("auth")))),
        await serve("authlogin", smtp_factory("authlogin", auth_require_tls=False,
                                              auth_exclude_mechanism=["PLAIN"],
                                              authenticator=authenticator(Keeper("authlogin")))),
        await serve("starttls", smtp_factory("starttls", tls_context=context,
                                             require_starttls=True)),
        await serve("smtps", smtp_factory("smtps"), ssl=context),
        await serve("longline", LongLine),
        await serve("endless", Endless),
        await serve("injecting", Injecting),
    ]
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(16)
    ports["silent"] = silent.getsockname()[1]
    closed = socket.socket()
    closed.bind(("127.0.0.1", 0))
    ports["closed"] = closed.getsockname()[1]
    closed.close()
    put(os.path.join(folder, "ports"),
        "".join("%s=%d\n" % item for item in ports.items()).encode())
    await asyncio.gather(*(server.serve_forever() for server in servers))


asyncio.run(main())
