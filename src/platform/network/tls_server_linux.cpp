#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pkcs12.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstring>

#include "platform/network/tls_server.h"

namespace plenvo::platform {
namespace {

// OpenSSL's own socket BIO writes with write(), and a peer gone away would
// end the program with SIGPIPE; this one moves bytes through the connection.
int channelWrite(BIO* bio, const char* from, int length) {
    BIO_clear_retry_flags(bio);
    auto* connection = static_cast<StreamConnection*>(BIO_get_data(bio));
    const IoResult r = connection->writeSome(from, static_cast<std::size_t>(length));
    if (r.state == IoState::done) return static_cast<int>(r.bytes);
    if (r.state == IoState::wantWrite) BIO_set_retry_write(bio);
    return -1;
}

int channelRead(BIO* bio, char* into, int length) {
    BIO_clear_retry_flags(bio);
    auto* connection = static_cast<StreamConnection*>(BIO_get_data(bio));
    const IoResult r = connection->readSome(into, static_cast<std::size_t>(length));
    if (r.state == IoState::done) return static_cast<int>(r.bytes);
    if (r.state == IoState::closed) return 0;
    if (r.state == IoState::wantRead) BIO_set_retry_read(bio);
    return -1;
}

long channelControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int channelCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

const BIO_METHOD* channelMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "connection");
        BIO_meth_set_write(m, channelWrite);
        BIO_meth_set_read(m, channelRead);
        BIO_meth_set_ctrl(m, channelControl);
        BIO_meth_set_create(m, channelCreate);
        return m;
    }();
    return method;
}

class TlsChannel final : public ByteChannel {
  public:
    TlsChannel(SSL_CTX* context, StreamConnection connection)
        : connection_(std::move(connection)), ssl_(SSL_new(context)) {
        BIO* bio = ssl_ ? BIO_new(channelMethod()) : nullptr;
        if (!bio) {
            broken_ = true;
            return;
        }
        BIO_set_data(bio, &connection_);
        SSL_set_bio(ssl_, bio, bio);
        SSL_set_accept_state(ssl_);
    }

    ~TlsChannel() override {
        if (!ssl_) return;
        // close_notify, once, if it fits: the socket is not waited for.
        if (!broken_ && SSL_is_init_finished(ssl_)) {
            ERR_clear_error();
            SSL_shutdown(ssl_);
        }
        ERR_clear_error();
        SSL_free(ssl_);
    }

    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    IoResult readSome(char* into, std::size_t length) override {
        if (broken_) return {0, IoState::failed};
        if (length == 0) return {0, IoState::wantRead};
        ERR_clear_error();
        std::size_t read = 0;
        if (SSL_read_ex(ssl_, into, length, &read) == 1) return {read, IoState::done};
        return {0, failure(0)};
    }

    // After wantWrite, the same bytes are to be given again (at any address,
    // with more after them if there are).
    IoResult writeSome(const char* from, std::size_t length) override {
        if (broken_) return {0, IoState::failed};
        if (length == 0) return {0, IoState::done};
        ERR_clear_error();
        std::size_t written = 0;
        if (SSL_write_ex(ssl_, from, length, &written) == 1) return {written, IoState::done};
        return {0, failure(0)};
    }

    std::uintptr_t handle() const override { return connection_.handle(); }

  private:
    IoState failure(int result) {
        switch (SSL_get_error(ssl_, result)) {
            case SSL_ERROR_WANT_READ:
                return IoState::wantRead;
            case SSL_ERROR_WANT_WRITE:
                return IoState::wantWrite;
            case SSL_ERROR_ZERO_RETURN:
                return IoState::closed;
            default:
                // A stream cut without close_notify is broken too: it may be cut short.
                broken_ = true;
                ERR_clear_error();
                return IoState::failed;
        }
    }

    StreamConnection connection_;  // before ssl_: its BIO points at it
    SSL* ssl_;
    bool broken_ = false;  // after which OpenSSL must not be asked to shut down
};

class OpenSslServer final : public TlsServer {
  public:
    explicit OpenSslServer(SSL_CTX* context) : context_(context) {}
    ~OpenSslServer() override { SSL_CTX_free(context_); }
    OpenSslServer(const OpenSslServer&) = delete;
    OpenSslServer& operator=(const OpenSslServer&) = delete;

    std::unique_ptr<ByteChannel> wrap(StreamConnection connection) const override {
        return std::make_unique<TlsChannel>(context_, std::move(connection));
    }

  private:
    SSL_CTX* context_;
};

// The first of OpenSSL's errors says what went wrong; the later ones where.
std::string openSslError() {
    const unsigned long error = ERR_peek_error();
    ERR_clear_error();
    if (error == 0) return "unknown error";
    if (ERR_SYSTEM_ERROR(error)) return std::strerror(ERR_GET_REASON(error));
    const char* reason = ERR_reason_error_string(error);
    return reason ? reason : "error " + std::to_string(error);
}

// A key that wants a passphrase is refused rather than asked for on the terminal.
int noPassphrase(char*, int, int, void*) {
    return 0;
}

std::string keyMismatch(const std::filesystem::path& certificate,
                        const std::filesystem::path& key) {
    return "the private key " + key.string() + " does not belong to the certificate " +
           certificate.string();
}

// A PEM chain and its PEM key; empty when the context took them.
std::string usePemFiles(SSL_CTX* context, const std::filesystem::path& certificate,
                        const std::filesystem::path& key) {
    if (SSL_CTX_use_certificate_chain_file(context, certificate.c_str()) != 1)
        return "cannot use the certificate " + certificate.string() + ": " + openSslError();
    // OpenSSL compares the key with the certificate as it takes it.
    if (SSL_CTX_use_PrivateKey_file(context, key.c_str(), SSL_FILETYPE_PEM) != 1) {
        const unsigned long error = ERR_peek_last_error();
        if (ERR_GET_LIB(error) == ERR_LIB_X509 &&
            ERR_GET_REASON(error) == X509_R_KEY_VALUES_MISMATCH) {
            ERR_clear_error();
            return keyMismatch(certificate, key);
        }
        return "cannot use the private key " + key.string() + ": " + openSslError();
    }
    return {};
}

struct PfxParts {
    PKCS12* pfx = nullptr;
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509) * chain = nullptr;
    ~PfxParts() {
        PKCS12_free(pfx);
        EVP_PKEY_free(key);
        X509_free(certificate);
        sk_X509_pop_free(chain, X509_free);
    }
};

// The certificate, its key and the chain above it from one PKCS#12 file (as
// Windows exports them); empty when the context took them.
std::string usePfx(SSL_CTX* context, const std::filesystem::path& file,
                   const std::string& password) {
    const std::string shown = file.string();
    BIO* in = BIO_new_file(file.c_str(), "rb");
    if (!in) return "cannot read " + shown + ": " + openSslError();
    PfxParts parts;
    parts.pfx = d2i_PKCS12_bio(in, nullptr);
    BIO_free(in);
    if (!parts.pfx) {
        ERR_clear_error();
        return shown + " is not a PKCS#12 (.pfx) file";
    }
    // Checked apart, so that a wrong password is told as such rather than as
    // a failure to decrypt. "No password" is written either way, empty or absent.
    const char* pass = password.c_str();
    if (PKCS12_mac_present(parts.pfx) && PKCS12_verify_mac(parts.pfx, pass, -1) != 1) {
        if (!password.empty() || PKCS12_verify_mac(parts.pfx, nullptr, 0) != 1) {
            ERR_clear_error();
            return "the password does not open " + shown;
        }
        pass = nullptr;
    }
    if (PKCS12_parse(parts.pfx, pass, &parts.key, &parts.certificate, &parts.chain) != 1)
        return "cannot use " + shown + ": " + openSslError();
    if (!parts.key || !parts.certificate)
        return shown + " holds no certificate with its private key";
    if (SSL_CTX_use_certificate(context, parts.certificate) != 1 ||
        SSL_CTX_use_PrivateKey(context, parts.key) != 1 ||
        (parts.chain && SSL_CTX_set1_chain(context, parts.chain) != 1))
        return "cannot use " + shown + ": " + openSslError();
    return {};
}

}  // namespace

bool TlsServer::available() {
    return true;
}

TlsKeyForms TlsServer::keyForms() {
    return TlsKeyForms::pemOrPfx;
}

// Plain HTTP to other machines stays the administrator's choice: a private
// network, a VPN.
bool TlsServer::plainToOtherMachines() {
    return true;
}

std::variant<std::shared_ptr<const TlsServer>, std::string> TlsServer::load(
    const std::filesystem::path& certificate, const TlsKey& key) {
    ERR_clear_error();
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (!context) return "cannot set up TLS: " + openSslError();
    auto server = std::make_shared<OpenSslServer>(context);  // frees it on every way out
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
    // The caller's writes may end part-way and go on from another buffer.
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_default_passwd_cb(context, noPassphrase);
    const auto* pem = std::get_if<PemKeyFile>(&key);
    if (std::string why = pem ? usePemFiles(context, certificate, pem->path)
                              : usePfx(context, certificate, std::get<PfxPassword>(key).text);
        !why.empty())
        return why;
    if (SSL_CTX_check_private_key(context) != 1) {
        ERR_clear_error();
        return pem ? keyMismatch(certificate, pem->path)
                   : certificate.string() + " holds a key that does not belong to its certificate";
    }
    ERR_clear_error();
    return std::shared_ptr<const TlsServer>(std::move(server));
}

}  // namespace plenvo::platform
