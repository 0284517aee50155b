#include "smtp_sink.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace plenvo::test {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// Debian's own Python first: python3-aiosmtpd is installed for it, not for
// another python3 that may come first on the path.
std::string pythonWithAiosmtpd() {
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        const std::string probe = std::string(python) + " -c 'import aiosmtpd' >/dev/null 2>&1";
        if (std::system(probe.c_str()) == 0) return python;
    }
    return {};
}

}  // namespace

std::string SmtpSink::unavailableReason() {
    if (pythonWithAiosmtpd().empty()) return "python3-aiosmtpd is not installed";
    return {};
}

int SmtpSink::freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

SmtpSink::SmtpSink(const fs::path& folder, int port, const std::string& mode) : folder_(folder) {
    fs::create_directories(folder_);
    const std::string script = PLENVO_SMTP_SINK;
    const std::string folderText = folder_.string();
    const std::string portText = std::to_string(port);
    const std::string python = pythonWithAiosmtpd();
    pid_ = ::fork();
    if (pid_ == 0) {
        ::execlp(python.c_str(), python.c_str(), script.c_str(), folderText.c_str(),
                 portText.c_str(), mode.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid_ < 0) {
        failure_ = "cannot start python3";
        return;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
        if (fs::exists(folder_ / "port")) {
            port_ = std::stoi(contents(folder_ / "port"));
            return;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            failure_ = "the SMTP sink ended at once";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    failure_ = "the SMTP sink did not start listening";
}

SmtpSink::~SmtpSink() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
}

std::vector<ReceivedMail> SmtpSink::mails() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder_))
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<ReceivedMail> mails;
    for (const fs::path& file : files) {
        const std::string decoded = contents(file);
        ReceivedMail mail;
        const size_t first = decoded.find('\n');
        const size_t second = decoded.find('\n', first + 1);
        std::stringstream recipients(decoded.substr(0, first));
        for (std::string address; std::getline(recipients, address, ',');)
            mail.recipients.push_back(address);
        mail.subject = decoded.substr(first + 1, second - first - 1);
        mail.body = decoded.substr(std::min(second + 2, decoded.size()));
        const std::string raw = contents(fs::path(file).replace_extension(".eml"));
        mail.headers = raw.substr(0, raw.find("\r\n\r\n"));
        mails.push_back(std::move(mail));
    }
    return mails;
}

int SmtpSink::connections() const {
    const std::string lines = contents(folder_ / "connections");
    return static_cast<int>(std::count(lines.begin(), lines.end(), '\n'));
}

}  // namespace plenvo::test
