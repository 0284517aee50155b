#include "samba_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/process/detached_command.h"

namespace plenvo::test {
namespace {

using namespace std::chrono_literals;

bool portAnswers() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(445);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// Processes whose command line holds the text (smbd's RPC helpers outlive it).
std::vector<pid_t> processesMentioning(const std::string& text) {
    std::vector<pid_t> pids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(entry.path() / "cmdline");
        std::stringstream cmdline;
        cmdline << in.rdbuf();
        if (cmdline.str().find(text) != std::string::npos) pids.push_back(std::stoi(name));
    }
    return pids;
}

// Gone, or a zombie that only its parent can reap.
bool ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const size_t close = text.rfind(')');
    return !stat || close == std::string::npos || close + 2 >= text.size() ||
           text[close + 2] == 'Z';
}

void endProcess(pid_t pid) {
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 50 && !ended(pid); ++i) {
        ::waitpid(pid, nullptr, WNOHANG);
        std::this_thread::sleep_for(20ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, WNOHANG);
}

}  // namespace

std::string SambaServer::unavailableReason() {
    if (::geteuid() != 0) return "needs root to start smbd on port 445";
    if (platform::findProgram("smbd").empty()) return "smbd is not installed (package samba)";
    if (platform::findProgram("smbclient").empty()) return "smbclient is not installed";
    // Another build's test server may be about to end.
    for (int i = 0; i < 100 && portAnswers(); ++i) std::this_thread::sleep_for(200ms);
    if (portAnswers()) return "another server already listens on 127.0.0.1:445";
    return {};
}

SambaServer::SambaServer(const std::filesystem::path& folder, const std::string& extraConfig)
    : folder_(folder), config_(folder / "smb.conf") {
    for (const char* sub : {"lock", "state", "cache", "private", "pid", "ncalrpc", "log"})
        std::filesystem::create_directories(folder_ / sub);
    // smbd reads usershares only from a root-owned folder with the sticky bit.
    std::filesystem::create_directories(folder_ / "usershares");
    ::chmod((folder_ / "usershares").c_str(), 01770);
    const std::string f = folder_.string();
    std::ofstream(config_)
        << "[global]\n"
           "interfaces = lo 127.0.0.1\nbind interfaces only = yes\ndisable netbios = yes\n"
           "smb ports = 445\nserver role = standalone server\nobey pam restrictions = no\n"
           "lock directory = "
        << f << "/lock\nstate directory = " << f
        << "/state\n"
           "cache directory = "
        << f << "/cache\nprivate dir = " << f
        << "/private\n"
           "pid directory = "
        << f << "/pid\nncalrpc dir = " << f
        << "/ncalrpc\n"
           "log file = "
        << f
        << "/log/log.%m\n"
           "passdb backend = tdbsam:"
        << f
        << "/private/passdb.tdb\n"
           "usershare path = "
        << f << "/usershares\nusershare max shares = 100\n"
        << extraConfig;

    if (const char* old = std::getenv("SMB_CONF_PATH")) {
        hadConfPath_ = true;
        oldConfPath_ = old;
    }
    ::setenv("SMB_CONF_PATH", config_.c_str(), 1);

    const std::string smbd = platform::findProgram("smbd");
    const pid_t test = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // smbd signals its whole process group when it ends: give it its own.
        ::setpgid(0, 0);
        // A test that dies without stopping it must not leave it on port 445,
        // where every later Samba test would meet it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != test) ::_exit(0);
        const int out =
            ::open((folder_ / "log" / "smbd.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        ::execl(smbd.c_str(), "smbd", "-F", "--no-process-group", "-s", config_.c_str(), nullptr);
        ::_exit(127);
    }
    for (int i = 0; i < 100 && !portAnswers(); ++i) std::this_thread::sleep_for(100ms);
    if (!portAnswers()) failure_ = "smbd did not answer on 127.0.0.1:445; see " + f + "/log";
}

SambaServer::~SambaServer() {
    stop();
    if (hadConfPath_)
        ::setenv("SMB_CONF_PATH", oldConfPath_.c_str(), 1);
    else
        ::unsetenv("SMB_CONF_PATH");
}

void SambaServer::stop() {
    if (pid_ <= 0) return;
    endProcess(pid_);
    ::waitpid(pid_, nullptr, 0);
    for (const pid_t helper : processesMentioning("--configfile=" + config_.string()))
        endProcess(helper);
}

bool SambaServer::addUser(const std::string& name, const std::string& password) const {
    const auto result = platform::runBounded(
        {"/bin/sh", "-c", "printf '%s\\n%s\\n' \"$2\" \"$2\" | smbpasswd -c \"$3\" -s -a \"$1\"",
         "sh", name, password, config_.string()},
        10s);
    return result && result->exitCode == 0;
}

std::string SambaServer::smbclient(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {platform::findProgram("smbclient"), "-s", config_.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto result = platform::runBounded(argv, 20s);
    return result ? result->output : "<smbclient did not finish>";
}

}  // namespace plenvo::test
