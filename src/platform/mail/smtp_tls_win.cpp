#include <winsock2.h>
//
#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/mail/smtp_socket_win.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform::smtp {
namespace {

// A TLS record is at most 16 KiB of data plus its framing.
constexpr size_t kMaxRecord = 16384 + 2048;

std::string statusText(const char* what, SECURITY_STATUS status) {
    return std::string(what) + ": " + win::errorText(static_cast<DWORD>(status));
}

struct Credentials {
    CredHandle handle{};
    bool held = false;
    ~Credentials() {
        if (held) ::FreeCredentialsHandle(&handle);
    }
};

struct Context {
    CtxtHandle handle{};
    bool held = false;
    ~Context() {
        if (held) ::DeleteSecurityContext(&handle);
    }
};

struct CertificateContext {
    PCCERT_CONTEXT cert = nullptr;
    ~CertificateContext() {
        if (cert) ::CertFreeCertificateContext(cert);
    }
};

struct Chain {
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    ~Chain() {
        if (chain) ::CertFreeCertificateChain(chain);
    }
};

// Output tokens Schannel allocated.
struct OutToken {
    SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
    ~OutToken() {
        if (buffer.pvBuffer) ::FreeContextBuffer(buffer.pvBuffer);
    }
};

std::string certificateProblem(DWORD error) {
    switch (error) {
        case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
        case static_cast<DWORD>(CERT_E_UNTRUSTEDTESTROOT):
        case static_cast<DWORD>(CERT_E_CHAINING):
            return "メールサーバーの証明書を信頼できません (発行者が不明です)";
        case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
            return "メールサーバーの証明書は別の名前のものです";
        case static_cast<DWORD>(CERT_E_EXPIRED):
            return "メールサーバーの証明書の期限が切れているか、まだ有効ではありません";
        case static_cast<DWORD>(CERT_E_REVOKED):
            return "メールサーバーの証明書は失効しています";
        case static_cast<DWORD>(CERT_E_WRONG_USAGE):
            return "メールサーバーの証明書はサーバー用のものではありません";
        default:
            return "メールサーバーの証明書が正しくありません: " + win::errorText(error);
    }
}

}  // namespace

struct Tls::State {
    Credentials credentials;
    Context context;
    std::wstring host;
    SecPkgContext_StreamSizes sizes{};
    std::string encrypted;  // read, not yet decrypted
    std::string plain;      // decrypted, not yet handed out
    bool ready = false;

    // Runs the handshake until done, starting from what `encrypted` holds.
    std::string handshake(Socket& socket, Clock::time_point deadline, bool first);
    std::string checkCertificate();
};

std::string Tls::State::handshake(Socket& socket, Clock::time_point deadline, bool first) {
    const DWORD wanted = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                         ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                         ISC_REQ_MANUAL_CRED_VALIDATION;
    DWORD granted = 0;
    if (first) {
        OutToken out;
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out.buffer};
        const SECURITY_STATUS status =
            ::InitializeSecurityContextW(&credentials.handle, nullptr, host.data(), wanted, 0, 0,
                                         nullptr, 0, &context.handle, &outDesc, &granted, nullptr);
        if (status != SEC_I_CONTINUE_NEEDED) return statusText("TLS could not start", status);
        context.held = true;
        if (std::string why = socket.sendAll(
                {static_cast<const char*>(out.buffer.pvBuffer), out.buffer.cbBuffer}, deadline);
            !why.empty())
            return why;
    }
    bool needMore = encrypted.empty();
    for (;;) {
        if (needMore) {
            if (encrypted.size() > 4 * kMaxRecord) return "TLS handshake: the server sent too much";
            if (std::string why = socket.receive(encrypted, deadline); !why.empty())
                return "TLS handshake: " + why;
        }
        SecBuffer in[2] = {
            {static_cast<unsigned long>(encrypted.size()), SECBUFFER_TOKEN, encrypted.data()},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        OutToken out;
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out.buffer};
        const SECURITY_STATUS status =
            ::InitializeSecurityContextW(&credentials.handle, &context.handle, host.data(), wanted,
                                         0, 0, &inDesc, 0, nullptr, &outDesc, &granted, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needMore = true;
            continue;
        }
        // A token goes out also with a failure: the alert that tells the server why.
        if (out.buffer.pvBuffer && out.buffer.cbBuffer > 0) {
            const std::string why = socket.sendAll(
                {static_cast<const char*>(out.buffer.pvBuffer), out.buffer.cbBuffer}, deadline);
            if (!why.empty() && !FAILED(status)) return why;
        }
        if (FAILED(status)) return statusText("TLS handshake failed", status);
        // The bytes Schannel did not use yet belong to the next step (or the first record).
        if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0)
            encrypted.erase(0, encrypted.size() - in[1].cbBuffer);
        else
            encrypted.clear();
        if (status == SEC_E_OK) break;
        if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
            // The server asks for a client certificate; go on without one.
            needMore = false;
            continue;
        }
        if (status != SEC_I_CONTINUE_NEEDED) return statusText("TLS handshake failed", status);
        needMore = encrypted.empty();
    }
    const SECURITY_STATUS status =
        ::QueryContextAttributesW(&context.handle, SECPKG_ATTR_STREAM_SIZES, &sizes);
    if (status != SEC_E_OK) return statusText("TLS handshake failed", status);
    return {};
}

std::string Tls::State::checkCertificate() {
    CertificateContext remote;
    const SECURITY_STATUS status =
        ::QueryContextAttributesW(&context.handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote.cert);
    if (status != SEC_E_OK || !remote.cert) return "メールサーバーが証明書を送ってきませんでした";

    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH),
                      const_cast<LPSTR>(szOID_SERVER_GATED_CRYPTO),
                      const_cast<LPSTR>(szOID_SGC_NETSCAPE)};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 3;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    Chain chain;
    if (!::CertGetCertificateChain(nullptr, remote.cert, nullptr, remote.cert->hCertStore,
                                   &chainPara, 0, nullptr, &chain.chain))
        return "メールサーバーの証明書を確認できません: " + win::errorText(::GetLastError());

    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = host.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS result{};
    result.cbSize = sizeof result;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.chain, &policy, &result))
        return "メールサーバーの証明書を確認できません: " + win::errorText(::GetLastError());
    if (result.dwError != 0) return certificateProblem(result.dwError);
    return {};
}

Tls::Tls() : state_(std::make_unique<State>()) {}

Tls::~Tls() = default;

std::string Tls::start(Socket& socket, const std::string& host, Clock::time_point deadline) {
    State& s = *state_;
    s.host = win::wide(host);
    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    // The certificate is checked below, with a reason of our own when it fails.
    cred.dwFlags =
        SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    const SECURITY_STATUS status = ::AcquireCredentialsHandleW(
        nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &cred,
        nullptr, nullptr, &s.credentials.handle, nullptr);
    if (status != SEC_E_OK) return statusText("TLS is not available", status);
    s.credentials.held = true;
    if (std::string why = s.handshake(socket, deadline, true); !why.empty()) return why;
    if (std::string why = s.checkCertificate(); !why.empty()) return why;
    s.ready = true;
    return {};
}

std::string Tls::sendAll(Socket& socket, std::string_view bytes, Clock::time_point deadline) {
    State& s = *state_;
    if (!s.ready) return "TLS is not set up";
    std::vector<char> record;
    while (!bytes.empty()) {
        const size_t take = std::min<size_t>(bytes.size(), s.sizes.cbMaximumMessage);
        record.assign(s.sizes.cbHeader + take + s.sizes.cbTrailer, 0);
        std::memcpy(record.data() + s.sizes.cbHeader, bytes.data(), take);
        SecBuffer parts[4] = {
            {s.sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {static_cast<unsigned long>(take), SECBUFFER_DATA, record.data() + s.sizes.cbHeader},
            {s.sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + s.sizes.cbHeader + take},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
        const SECURITY_STATUS status = ::EncryptMessage(&s.context.handle, 0, &desc, 0);
        if (status != SEC_E_OK) return statusText("TLS could not encrypt", status);
        const size_t size = parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer;
        if (std::string why = socket.sendAll({record.data(), size}, deadline); !why.empty())
            return why;
        bytes.remove_prefix(take);
    }
    return {};
}

std::string Tls::receive(Socket& socket, std::string& into, Clock::time_point deadline) {
    State& s = *state_;
    if (!s.ready) return "TLS is not set up";
    for (;;) {
        if (!s.plain.empty()) {
            into += s.plain;
            s.plain.clear();
            return {};
        }
        if (s.encrypted.empty()) {
            if (std::string why = socket.receive(s.encrypted, deadline); !why.empty()) return why;
        }
        SecBuffer parts[4] = {
            {static_cast<unsigned long>(s.encrypted.size()), SECBUFFER_DATA, s.encrypted.data()},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
        const SECURITY_STATUS status = ::DecryptMessage(&s.context.handle, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            if (s.encrypted.size() > 2 * kMaxRecord) return "TLS: the server sent a broken record";
            if (std::string why = socket.receive(s.encrypted, deadline); !why.empty()) return why;
            continue;
        }
        if (status == SEC_I_CONTEXT_EXPIRED) return "メールサーバーが TLS の接続を閉じました";
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE)
            return statusText("TLS could not decrypt", status);
        // The buffers point into `encrypted`: take what they hold before it changes.
        std::string extra;
        for (const SecBuffer& part : parts) {
            if (part.BufferType == SECBUFFER_DATA && part.cbBuffer > 0)
                s.plain.append(static_cast<const char*>(part.pvBuffer), part.cbBuffer);
            else if (part.BufferType == SECBUFFER_EXTRA && part.cbBuffer > 0)
                extra = s.encrypted.substr(s.encrypted.size() -
                                           std::min<size_t>(part.cbBuffer, s.encrypted.size()));
        }
        s.encrypted = std::move(extra);
        if (status == SEC_I_RENEGOTIATE) {
            // TLS 1.3 messages after the handshake (session tickets, key updates).
            if (std::string why = s.handshake(socket, deadline, false); !why.empty()) return why;
        }
    }
}

}  // namespace plenvo::platform::smtp
