#include <algorithm>
#include <atomic>
#include <string>

#include "platform/process/detached_command.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

// One argument as the C runtime of the program started reads it back:
// quotes round anything empty or holding blanks or quotes, and backslashes
// doubled only where a quote follows them.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L'"';
}

std::wstring commandLine(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const std::string& argument : argv) {
        if (!line.empty()) line += L' ';
        line += quoted(win::wide(argument));
    }
    return line;
}

// Only the listed handles go to the child, whatever else other threads hold
// open to be inherited at that moment: a stray copy of a pipe's end would keep
// the pipe open past the program's end.
class InheritedHandles {
  public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        list_ = list;
        ::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                    handles_.size() * sizeof(HANDLE), nullptr, nullptr);
    }
    ~InheritedHandles() {
        if (list_) ::DeleteProcThreadAttributeList(list_);
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return list_; }

  private:
    std::vector<HANDLE> handles_;
    std::vector<char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

DWORD millisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<DWORD>(std::clamp<long long>(left.count(), 0, 0x7FFFFFFF));
}

}  // namespace

void runDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return;
    std::wstring line = commandLine(argv);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // Its own process group, so that the console's end does not reach it.
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                         CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                         &process)) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
}

std::optional<CommandResult> runBounded(const std::vector<std::string>& argv,
                                        std::chrono::milliseconds limit) {
    if (argv.empty()) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    // A named pipe rather than an anonymous one: only it can be read with a deadline.
    static std::atomic<unsigned> serial = 0;
    const std::wstring name = L"\\\\.\\pipe\\PlenvoBackupMng-" +
                              std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++serial);
    const win::Handle reader(::CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 64 * 1024, 0, nullptr));
    if (!reader) return std::nullopt;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    win::Handle writer(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    const win::Handle nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                        OPEN_EXISTING, 0, nullptr));
    const win::Handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!writer || !nul || !event) return std::nullopt;

    PROCESS_INFORMATION started{};
    {
        const InheritedHandles inherited({writer.get(), nul.get()});
        STARTUPINFOEXW startup{};
        startup.StartupInfo.cb = sizeof startup;
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = nul.get();
        startup.StartupInfo.hStdOutput = writer.get();
        startup.StartupInfo.hStdError = nul.get();
        startup.lpAttributeList = inherited.list();
        std::wstring line = commandLine(argv);
        const BOOL ok = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                         CREATE_NO_WINDOW | CREATE_SUSPENDED |
                                             (inherited.list() ? EXTENDED_STARTUPINFO_PRESENT : 0),
                                         nullptr, nullptr, &startup.StartupInfo, &started);
        if (!ok) return std::nullopt;
    }
    writer = win::Handle();  // the pipe ends when the program's copy does
    const win::Handle process(started.hProcess);
    const win::Handle thread(started.hThread);
    // The program and whatever it starts are ended together at the limit.
    win::Handle job(::CreateJobObjectW(nullptr, nullptr));
    if (job && !::AssignProcessToJobObject(job.get(), process.get())) job = win::Handle();
    ::ResumeThread(thread.get());

    CommandResult result;
    bool timedOut = false;
    char buffer[4096];
    for (;;) {
        OVERLAPPED pending{};
        pending.hEvent = event.get();
        DWORD got = 0;
        if (!::ReadFile(reader.get(), buffer, sizeof buffer, &got, &pending)) {
            if (::GetLastError() != ERROR_IO_PENDING) break;  // the program closed its output
            if (::WaitForSingleObject(event.get(), millisecondsLeft(deadline)) != WAIT_OBJECT_0) {
                ::CancelIoEx(reader.get(), &pending);
                ::GetOverlappedResult(reader.get(), &pending, &got, TRUE);
                timedOut = true;
                break;
            }
            if (!::GetOverlappedResult(reader.get(), &pending, &got, FALSE)) break;
        }
        if (result.output.size() < (4u << 20)) result.output.append(buffer, got);
    }
    // A program can close its output and still run on: its end is waited for
    // no longer than the limit either.
    if (!timedOut &&
        ::WaitForSingleObject(process.get(), millisecondsLeft(deadline)) != WAIT_OBJECT_0)
        timedOut = true;
    if (timedOut) {
        if (!job || !::TerminateJobObject(job.get(), 1)) ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 5000);
        return std::nullopt;
    }
    DWORD code = 0;
    if (!::GetExitCodeProcess(process.get(), &code)) return std::nullopt;
    result.exitCode = static_cast<int>(code);
    return result;
}

// PATH as the shell searches it, with the system folder first, so that a
// program of that name in the current folder is never taken.
std::string findProgram(const std::string& name) {
    wchar_t system[MAX_PATH] = {};
    std::wstring folders(system, ::GetSystemDirectoryW(system, MAX_PATH));
    std::wstring path(32767, L'\0');
    const DWORD length =
        ::GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
    if (!path.empty()) folders += L";" + path;
    std::wstring found(32768, L'\0');
    const DWORD n = ::SearchPathW(folders.c_str(), win::wide(name).c_str(), L".exe",
                                  static_cast<DWORD>(found.size()), found.data(), nullptr);
    if (n == 0 || n >= found.size()) return {};
    found.resize(n);
    return win::utf8(found);
}

}  // namespace plenvo::platform
