# An SMTP server on loopback for the mail tests: every message it takes is
# written to the folder given as NNNN.eml as sent, and as NNNN.txt decoded by
# Python's own mail parser (recipients line, subject line, empty line, body);
# every connection adds a line to "connections"; the port it listens on is
# written to "port" once it listens. A third argument makes it hostile:
#   slow:N   answers the end of each message only after N seconds
#   silent   keeps each message and never answers its end
#   drop     takes one message a connection, then hangs up at the next MAIL
import asyncio
import os
import sys

from aiosmtpd.smtp import SMTP

from mail_files import keep_message, put

folder = sys.argv[1]
wanted_port = int(sys.argv[2]) if len(sys.argv) > 2 else 0
mode = sys.argv[3] if len(sys.argv) > 3 else ""


class Keeper:
    def __init__(self):
        self.count = 0

    async def handle_MAIL(self, server, session, envelope, address, options):
        if mode == "drop" and getattr(session, "taken", 0) >= 1:
            server.transport.close()
            return "421 closing"
        envelope.mail_from = address
        envelope.mail_options.extend(options)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        keep_message(os.path.join(folder, "%04d" % self.count), envelope)
        session.taken = getattr(session, "taken", 0) + 1
        if mode.startswith("slow:"):
            await asyncio.sleep(float(mode[5:]))
        elif mode == "silent":
            await asyncio.Event().wait()
        return "250 OK"


class CountingSMTP(SMTP):
    def connection_made(self, transport):
        with open(os.path.join(folder, "connections"), "a") as f:
            f.write("connection\n")
        super().connection_made(transport)


async def main():
    keeper = Keeper()
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: CountingSMTP(keeper), "127.0.0.1", wanted_port)
    put(os.path.join(folder, "port"), str(server.sockets[0].getsockname()[1]).encode())
    await server.serve_forever()


asyncio.run(main())
