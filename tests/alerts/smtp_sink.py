# An SMTP server on loopback for the mail tests: every message it takes is
# written to the folder given as NNNN.eml as sent, and as NNNN.txt decoded by
# Python's own mail parser (recipients line, subject line, empty line, body);
# every connection adds a line to "connections"; the port it listens on is
# written to "port" once it listens.
import asyncio
import email
import email.policy
import os
import sys

from aiosmtpd.smtp import SMTP

folder = sys.argv[1]
wanted_port = int(sys.argv[2]) if len(sys.argv) > 2 else 0


def put(name, data):
    path = os.path.join(folder, name)
    with open(path + ".part", "wb") as f:
        f.write(data)
    os.rename(path + ".part", path)


class Keeper:
    def __init__(self):
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        raw = envelope.original_content
        put("%04d.eml" % self.count, raw)
        try:
            message = email.message_from_bytes(raw, policy=email.policy.default)
            decoded = "%s\n%s\n\n%s" % (",".join(envelope.rcpt_tos), message["subject"],
                                         message.get_content())
        except Exception as e:  # the test sees what could not be read
            decoded = "%s\nUNREADABLE %r\n\n" % (",".join(envelope.rcpt_tos), e)
        put("%04d.txt" % self.count, decoded.encode("utf-8"))
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
    put("port", str(server.sockets[0].getsockname()[1]).encode())
    await server.serve_forever()


asyncio.run(main())
