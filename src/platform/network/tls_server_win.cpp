#include <winsock2.h>
//
#include <windows.h>
#define SECURITY_WIN32
#include <ncrypt.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/network/tls_server.h"
#include "platform/text/utf8_path.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

// A TLS record from the peer: its header, at most 16 KiB of data and 2 KiB of
// expansion. What a client sends that does not fit is no TLS.
constexpr std::size_t kPeerRecordLimit = 5 + 16384 + 2048;
constexpr std::size_t kPfxLimit = 1024 * 1024;

constexpr ULONG kAcceptFlags = ASC_REQ_SEQUENCE_DETECT | ASC_REQ_REPLAY_DETECT |
                               ASC_REQ_CONFIDENTIALITY | ASC_REQ_EXTENDED_ERROR |
                               ASC_REQ_ALLOCATE_MEMORY | ASC_REQ_STREAM;

// Reads the certificate file into `bytes`; why it cannot, or empty.
std::string readPfx(const std::filesystem::path& path, std::string& bytes) {
    const auto cannot = [&](DWORD error) {
        return "cannot read " + utf8Of(path) + ": " + win::errorText(error);
    };
    DWORD error = 0;
    const win::Handle file =
        win::openPlainFile(path, GENERIC_READ, OPEN_EXISTING, win::LinkRule::follow, error);
    if (!file) return cannot(error);
    char buffer[16384];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr))
            return cannot(::GetLastError());
        if (n == 0) return {};
        if (bytes.size() + n > kPfxLimit) return utf8Of(path) + " is too large for a .pfx file";
        bytes.append(buffer, n);
    }
}

bool hasPrivateKey(PCCERT_CONTEXT certificate) {
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE key = 0;
    DWORD spec = 0;
    BOOL callerFrees = FALSE;
    if (!::CryptAcquireCertificatePrivateKey(
            certificate, CRYPT_ACQUIRE_SILENT_FLAG | CRYPT_ACQUIRE_ALLOW_NCRYPT_KEY_FLAG, nullptr,
            &key, &spec, &callerFrees))
        return false;
    if (callerFrees && spec == CERT_NCRYPT_KEY_SPEC) ::NCryptFreeObject(key);
    if (callerFrees && spec != CERT_NCRYPT_KEY_SPEC) ::CryptReleaseContext(key, 0);
    return true;
}

// Takes out of the user's key store the key that the import of `certificate` put there.
void deleteImportedKey(PCCERT_CONTEXT certificate) {
    DWORD size = 0;
    if (!::CertGetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, nullptr,
                                             &size))
        return;
    std::vector<std::byte> buffer(size);
    if (!::CertGetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(),
                                             &size))
        return;
    const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(buffer.data());
    const DWORD machine = info->dwFlags & CRYPT_MACHINE_KEYSET;
    if (info->dwProvType != 0) {
        HCRYPTPROV deleted = 0;
        ::CryptAcquireContextW(&deleted, info->pwszContainerName, info->pwszProvName,
                               info->dwProvType, CRYPT_DELETEKEYSET | machine);
        return;
    }
    NCRYPT_PROV_HANDLE provider = 0;
    if (::NCryptOpenStorageProvider(&provider, info->pwszProvName, 0) != ERROR_SUCCESS) return;
    NCRYPT_KEY_HANDLE key = 0;
    if (::NCryptOpenKey(provider, &key, info->pwszContainerName, info->dwKeySpec, machine) ==
        ERROR_SUCCESS)
        ::NCryptDeleteKey(key, 0);  // frees the handle too
    ::NCryptFreeObject(provider);
}

// The imported certificates with their keys, and Schannel's credentials made
// from the one that has a key. Schannel uses keys in another process (LSASS),
// which opens only keys kept in a key store: the import keeps them in the
// user's, and they are deleted from it again here.
struct ServerCredentials {
    HCERTSTORE store = nullptr;
    PCCERT_CONTEXT certificate = nullptr;
    CredHandle handle{};
    bool held = false;

    ServerCredentials() = default;
    ServerCredentials(const ServerCredentials&) = delete;
    ServerCredentials& operator=(const ServerCredentials&) = delete;
    ~ServerCredentials() {
        if (held) ::FreeCredentialsHandle(&handle);
        if (certificate) ::CertFreeCertificateContext(certificate);
        if (!store) return;
        for (PCCERT_CONTEXT each = nullptr; (each = ::CertEnumCertificatesInStore(store, each));)
            deleteImportedKey(each);
        ::CertCloseStore(store, 0);
    }
};

// Wine's Schannel makes client connections only: its AcceptSecurityContext
// answers every token with SEC_E_UNSUPPORTED_FUNCTION, where Windows asks for
// the rest of this one (a record header cut short).
bool acceptsConnections(CredHandle& credentials) {
    char recordStart[] = {0x16, 0x03, 0x03};
    SecBuffer in[2] = {{sizeof recordStart, SECBUFFER_TOKEN, recordStart},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    CtxtHandle context{};
    ULONG granted = 0;
    const SECURITY_STATUS status = ::AcceptSecurityContext(
        &credentials, nullptr, &inDesc, kAcceptFlags, 0, &context, &outDesc, &granted, nullptr);
    if (out.pvBuffer) ::FreeContextBuffer(out.pvBuffer);
    if (!FAILED(status)) ::DeleteSecurityContext(&context);
    return status != SEC_E_UNSUPPORTED_FUNCTION;
}

// One connection: the handshake, then records. At most one record from the
// peer is held (decrypted in place and handed out from there) and at most one
// of ours, or one handshake flight, waits to be sent.
class SchannelChannel final : public ByteChannel {
  public:
    SchannelChannel(std::shared_ptr<ServerCredentials> credentials, StreamConnection connection)
        : credentials_(std::move(credentials)),
          connection_(std::move(connection)),
          in_(kPeerRecordLimit) {}

    ~SchannelChannel() override {
        if (!contextHeld_) return;
        // close_notify, once, if it fits: the socket is not waited for. Not
        // behind a record sent in part, which it would garble.
        if (phase_ == Phase::open && out_.empty()) sayGoodbye();
        ::DeleteSecurityContext(&context_);
    }

    SchannelChannel(const SchannelChannel&) = delete;
    SchannelChannel& operator=(const SchannelChannel&) = delete;

    IoResult readSome(char* into, std::size_t length) override {
        if (shaking())
            if (const IoState state = handshake(); state != IoState::done) return {0, state};
        if (phase_ == Phase::failed || phase_ == Phase::closed) return {0, stateOfEnd()};
        if (length == 0) return {0, IoState::wantRead};
        for (;;) {
            if (plainLeft_ > 0) {
                const std::size_t n = std::min(length, plainLeft_);
                std::memcpy(into, in_.data() + plainAt_, n);
                plainAt_ += n;
                plainLeft_ -= n;
                if (plainLeft_ == 0) dropRecord();
                return {n, IoState::done};
            }
            const IoState state = needMore_ ? fill() : decrypt();
            if (state != IoState::done) return {0, state};
        }
    }

    // After wantWrite, the same bytes are to be given again (at any address,
    // with more after them if there are): the record that carries them is
    // sent first.
    IoResult writeSome(const char* from, std::size_t length) override {
        if (shaking())
            if (const IoState state = handshake(); state != IoState::done) return {0, state};
        if (phase_ == Phase::failed) return {0, IoState::failed};
        if (pendingTake_ > 0) {
            const IoState state = flush();
            if (state != IoState::done) return {0, state};
            return {std::exchange(pendingTake_, 0), IoState::done};
        }
        if (length == 0) return {0, IoState::done};
        const std::size_t take = std::min<std::size_t>(length, sizes_.cbMaximumMessage);
        out_.assign(sizes_.cbHeader + take + sizes_.cbTrailer, 0);
        std::memcpy(out_.data() + sizes_.cbHeader, from, take);
        SecBuffer parts[4] = {
            {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, out_.data()},
            {static_cast<unsigned long>(take), SECBUFFER_DATA, out_.data() + sizes_.cbHeader},
            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, out_.data() + sizes_.cbHeader + take},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
        if (::EncryptMessage(&context_, 0, &desc, 0) != SEC_E_OK) return {0, fail()};
        out_.resize(parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer);
        const IoState state = flush();
        if (state == IoState::done) return {take, IoState::done};
        if (state == IoState::wantWrite) pendingTake_ = take;
        return {0, state};
    }

    std::uintptr_t handle() const override { return connection_.handle(); }

  private:
    // lastFlight: the handshake is done, its last message not yet all sent.
    enum class Phase { handshake, lastFlight, open, closed, failed };

    bool shaking() const { return phase_ == Phase::handshake || phase_ == Phase::lastFlight; }

    IoState fail() {
        phase_ = Phase::failed;
        return IoState::failed;
    }
    IoState stateOfEnd() const {
        return phase_ == Phase::closed ? IoState::closed : IoState::failed;
    }

    // Sends what out_ holds; done once all of it is gone.
    IoState flush() {
        while (outSent_ < out_.size()) {
            const IoResult r =
                connection_.writeSome(out_.data() + outSent_, out_.size() - outSent_);
            if (r.state == IoState::wantWrite) return IoState::wantWrite;
            if (r.state != IoState::done) return fail();
            outSent_ += r.bytes;
        }
        out_.clear();
        outSent_ = 0;
        return IoState::done;
    }

    // More of the peer's bytes behind those in_ holds. A stream cut without
    // close_notify is broken: what came may be cut short.
    IoState fill() {
        if (inUsed_ == in_.size()) return fail();
        const IoResult r = connection_.readSome(in_.data() + inUsed_, in_.size() - inUsed_);
        if (r.state == IoState::wantRead) return IoState::wantRead;
        if (r.state != IoState::done) return fail();
        inUsed_ += r.bytes;
        needMore_ = false;
        return IoState::done;
    }

    // Keeps the bytes after a record or handshake message: the next one's start.
    void keepTail(std::size_t tail) {
        std::memmove(in_.data(), in_.data() + inUsed_ - tail, tail);
        inUsed_ = tail;
        needMore_ = tail == 0;
    }
    void dropRecord() { keepTail(std::exchange(tailAfterRecord_, 0)); }

    // What Schannel wrote for the peer goes out before anything else.
    void takeToken(SecBuffer& token) {
        if (!token.pvBuffer) return;
        const auto* bytes = static_cast<const char*>(token.pvBuffer);
        out_.insert(out_.end(), bytes, bytes + token.cbBuffer);
        ::FreeContextBuffer(token.pvBuffer);
    }

    IoState handshake() {
        for (;;) {
            if (const IoState state = flush(); state != IoState::done) return state;
            if (phase_ == Phase::lastFlight) {
                phase_ = Phase::open;
                return IoState::done;
            }
            if (needMore_)
                if (const IoState state = fill(); state != IoState::done) return state;
            SecBuffer in[2] = {{static_cast<unsigned long>(inUsed_), SECBUFFER_TOKEN, in_.data()},
                               {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
            SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
            ULONG granted = 0;
            const SECURITY_STATUS status = ::AcceptSecurityContext(
                &credentials_->handle, contextHeld_ ? &context_ : nullptr, &inDesc, kAcceptFlags, 0,
                &context_, &outDesc, &granted, nullptr);
            takeToken(out);
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                needMore_ = true;
                continue;
            }
            if (FAILED(status)) {
                flush();  // the alert that tells the client why, if it goes at once
                return fail();
            }
            contextHeld_ = true;
            keepTail(in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0);
            if (status == SEC_E_OK) {
                if (::QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) !=
                    SEC_E_OK)
                    return fail();
                phase_ = Phase::lastFlight;
            } else if (status != SEC_I_CONTINUE_NEEDED) {
                return fail();
            }
        }
    }

    // The record at the start of in_, decrypted where it lies.
    IoState decrypt() {
        SecBuffer parts[4] = {{static_cast<unsigned long>(inUsed_), SECBUFFER_DATA, in_.data()},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
        const SECURITY_STATUS status = ::DecryptMessage(&context_, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needMore_ = true;
            return IoState::done;
        }
        if (status == SEC_I_CONTEXT_EXPIRED) {
            phase_ = Phase::closed;
            return IoState::closed;
        }
        // SEC_I_RENEGOTIATE too: a client's renegotiation is refused by
        // dropping it, as OpenSSL's build does.
        if (status != SEC_E_OK) return fail();
        tailAfterRecord_ = 0;
        for (const SecBuffer& part : parts) {
            if (part.BufferType == SECBUFFER_DATA) {
                plainAt_ = static_cast<std::size_t>(static_cast<char*>(part.pvBuffer) - in_.data());
                plainLeft_ = part.cbBuffer;
            } else if (part.BufferType == SECBUFFER_EXTRA) {
                tailAfterRecord_ = part.cbBuffer;
            }
        }
        if (plainLeft_ == 0) dropRecord();
        return IoState::done;
    }

    void sayGoodbye() {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
        if (::ApplyControlToken(&context_, &controlDesc) != SEC_E_OK) return;
        SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
        ULONG granted = 0;
        ::AcceptSecurityContext(&credentials_->handle, &context_, nullptr, kAcceptFlags, 0, nullptr,
                                &outDesc, &granted, nullptr);
        takeToken(out);
        flush();
    }

    const std::shared_ptr<ServerCredentials> credentials_;
    StreamConnection connection_;
    CtxtHandle context_{};
    bool contextHeld_ = false;
    Phase phase_ = Phase::handshake;
    SecPkgContext_StreamSizes sizes_{};
    std::vector<char> in_;  // the peer's bytes: one record at most
    std::size_t inUsed_ = 0;
    bool needMore_ = true;     // in_ holds no whole record or message
    std::size_t plainAt_ = 0;  // decrypted bytes not yet handed out, inside in_
    std::size_t plainLeft_ = 0;
    std::size_t tailAfterRecord_ = 0;  // bytes of the next record after the decrypted one
    std::vector<char> out_;            // a handshake flight or one record, to send
    std::size_t outSent_ = 0;
    std::size_t pendingTake_ = 0;  // plain bytes in a record sent in part
};

class SchannelServer final : public TlsServer {
  public:
    explicit SchannelServer(std::shared_ptr<ServerCredentials> credentials)
        : credentials_(std::move(credentials)) {}

    std::unique_ptr<ByteChannel> wrap(StreamConnection connection) const override {
        return std::make_unique<SchannelChannel>(credentials_, std::move(connection));
    }

  private:
    std::shared_ptr<ServerCredentials> credentials_;
};

}  // namespace

bool TlsServer::available() {
    return true;
}

TlsKeyForms TlsServer::keyForms() {
    return TlsKeyForms::pfxOnly;
}

// Office PCs share networks with anyone who listens: passwords and session
// cookies cross them under TLS only.
bool TlsServer::plainToOtherMachines() {
    return false;
}

std::variant<std::shared_ptr<const TlsServer>, std::string> TlsServer::load(
    const std::filesystem::path& certificate, const TlsKey& key) {
    const std::string shown = utf8Of(certificate);
    const auto* password = std::get_if<PfxPassword>(&key);
    if (!password)
        return "Schannel takes the certificate and its key as one PKCS#12 (.pfx) file, not as "
               "PEM files";
    std::string bytes;
    if (std::string why = readPfx(certificate, bytes); !why.empty()) return why;
    CRYPT_DATA_BLOB blob{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(bytes.data())};
    if (!::PFXIsPFXBlob(&blob)) return shown + " is not a PKCS#12 (.pfx) file";

    auto credentials = std::make_shared<ServerCredentials>();
    const std::wstring wide = win::wide(password->text);
    credentials->store = ::PFXImportCertStore(&blob, wide.c_str(), CRYPT_USER_KEYSET);
    // "No password" is written either way, empty or absent.
    if (!credentials->store && wide.empty())
        credentials->store = ::PFXImportCertStore(&blob, nullptr, CRYPT_USER_KEYSET);
    if (!credentials->store) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_INVALID_PASSWORD) return "the password does not open " + shown;
        // Wine tells no reason, neither for a wrong password nor for a key it cannot take.
        if (error == 0)
            return "the password does not open " + shown +
                   ", or this system cannot import the key in it";
        return "cannot import " + shown + ": " + win::errorText(error);
    }
    for (PCCERT_CONTEXT each = nullptr;
         (each = ::CertEnumCertificatesInStore(credentials->store, each));) {
        if (hasPrivateKey(each)) {
            credentials->certificate = each;  // the enumeration ends: this one is ours to free
            break;
        }
    }
    // Windows Server 2019 imports the certificates alone when the password does not open the key.
    if (!credentials->certificate)
        return shown +
               " holds no certificate with its private key, or the password does not "
               "open the key";

    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    cred.cCreds = 1;
    cred.paCred = &credentials->certificate;
    // SCHANNEL_CRED reaches up to TLS 1.2; TLS 1.3 would take SCH_CREDENTIALS.
    cred.grbitEnabledProtocols = SP_PROT_TLS1_2_SERVER;
    cred.dwFlags = SCH_USE_STRONG_CRYPTO | SCH_CRED_NO_SYSTEM_MAPPER;
    const SECURITY_STATUS status = ::AcquireCredentialsHandleW(
        nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_INBOUND, nullptr, &cred, nullptr,
        nullptr, &credentials->handle, nullptr);
    if (status != SEC_E_OK)
        return "Schannel cannot serve with the certificate in " + shown + ": " +
               win::errorText(static_cast<DWORD>(status));
    credentials->held = true;
    if (!acceptsConnections(credentials->handle))
        return std::string(
            "this system's Schannel cannot accept TLS connections; serve on 127.0.0.1 behind a "
            "reverse proxy that adds TLS");
    return std::shared_ptr<const TlsServer>(
        std::make_shared<SchannelServer>(std::move(credentials)));
}

}  // namespace plenvo::platform
