# How the test SMTP servers keep what they take: NNNN.eml as sent, NNNN.txt
# decoded by Python's own mail parser (recipients line, subject line, empty
# line, body). Each file appears whole, through a rename.
import email
import email.policy
import os


def put(path, data):
    with open(path + ".part", "wb") as f:
        f.write(data)
    os.rename(path + ".part", path)


def keep_message(base, envelope):
    raw = envelope.original_content
    put(base + ".eml", raw)
    try:
        message = email.message_from_bytes(raw, policy=email.policy.default)
        decoded = "%s\n%s\n\n%s" % (",".join(envelope.rcpt_tos), message["subject"],
                                     message.get_content())
    except Exception as e:  # the test sees what could not be read
        decoded = "%s\nUNREADABLE %r\n\n" % (",".join(envelope.rcpt_tos), e)
    put(base + ".txt", decoded.encode("utf-8"))
