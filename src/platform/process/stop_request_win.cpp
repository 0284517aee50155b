// windows.h first: the other Win32 headers build on it.
// clang-format off
#include <windows.h>
// clang-format on
#include <sddl.h>
#include <tlhelp32.h>

#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "platform/process/stop_request.h"
#include "platform/win/win32_win.h"

// Console control events: Ctrl+C and Ctrl+Break, the console window closed,
// a logoff or a shutdown, as a program with a console is told of them. A
// program with windows and no console learns of a logoff or a shutdown only
// through WM_QUERYENDSESSION and WM_ENDSESSION, sent to its top-level windows:
// the window that receives them has to ask the console to end itself.
namespace plenvo::platform {
namespace {

// What an installer sets to end the consoles of this session before it
// replaces the program. Manual reset: every console waiting wakes, and one
// that starts meanwhile ends too; the installer resets it when done.
constexpr const wchar_t* kConsolesStop = L"Local\\PlenvoBackupMng.Stop";

// Made once and never closed: a handler still running on the system's thread
// must not set an event that meanwhile names something else.
HANDLE requested = nullptr;      // auto-reset: requests close together wake once
HANDLE watchEnds = nullptr;      // auto-reset
HANDLE finished = nullptr;       // manual reset: the watch is over, the console ending
HANDLE installerAsks = nullptr;  // kConsolesStop; none where it cannot be had
std::mutex watchTurn;
bool watching = false;

// The consoles' user and, for an installer elevated with another account's
// credentials, the Administrators may set it; without the rights it gets the
// user's default ones.
HANDLE consolesStopEvent() {
    PSECURITY_DESCRIPTOR rights = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;;GA;;;OW)(A;;GA;;;BA)(A;;GA;;;SY)", SDDL_REVISION_1, &rights, nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, rights, FALSE};
    const HANDLE event = ::CreateEventW(rights ? &attributes : nullptr, TRUE, FALSE, kConsolesStop);
    if (rights) ::LocalFree(rights);
    return event;
}

bool haveEvents() {
    if (!requested) requested = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!watchEnds) watchEnds = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!finished) finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!installerAsks) installerAsks = consolesStopEvent();
    return requested && watchEnds && finished;
}

BOOL WINAPI onConsoleEvent(DWORD type) {
    ::SetEvent(requested);
    // Windows ends the process as soon as this returns from these three: the
    // console is given the few seconds Windows allows to end on its own.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        ::WaitForSingleObject(finished, 4500);
    return TRUE;
}

}  // namespace

struct StopRequestWatch::State {
    std::function<void()> onStop;
    std::thread listener;

    void listen() {
        const HANDLE wakes[3] = {watchEnds, requested, installerAsks};
        DWORD count = installerAsks ? 3 : 2;
        for (;;) {
            const DWORD woke = ::WaitForMultipleObjects(count, wakes, FALSE, INFINITE);
            if (woke != WAIT_OBJECT_0 + 1 && woke != WAIT_OBJECT_0 + 2) return;
            // The installer's event stays set until it is done: told once.
            if (woke == WAIT_OBJECT_0 + 2) count = 2;
            onStop();
        }
    }

    ~State() {
        if (!listener.joinable()) return;
        const std::lock_guard turn(watchTurn);
        ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
        ::SetEvent(finished);
        ::SetEvent(watchEnds);
        listener.join();
        watching = false;
    }
};

StopRequestWatch::StopRequestWatch(std::function<void()> onStop)
    : state_(std::make_unique<State>()) {
    const std::lock_guard turn(watchTurn);
    if (watching) throw std::logic_error("a stop request watch is already running");
    // Without the events the system's default stays: a request still ends the console.
    if (!haveEvents()) return;
    // What a request left before this watch began is not for it. An installer's
    // stays: a console that starts while one waits must end too.
    ::ResetEvent(requested);
    ::ResetEvent(watchEnds);
    ::ResetEvent(finished);
    state_->onStop = std::move(onStop);
    state_->listener = std::thread([state = state_.get()] { state->listen(); });
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    watching = true;
}

StopRequestWatch::~StopRequestWatch() = default;
StopRequestWatch::StopRequestWatch(StopRequestWatch&&) noexcept = default;
StopRequestWatch& StopRequestWatch::operator=(StopRequestWatch&&) noexcept = default;

namespace {

using FileIdentity = std::tuple<DWORD, DWORD, DWORD>;  // volume serial, file index

std::optional<FileIdentity> identityOf(const std::wstring& file) {
    const win::Handle opened(::CreateFileW(file.c_str(), 0,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!opened || !::GetFileInformationByHandle(opened.get(), &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// The processes besides this one whose image is the program. One whose image
// cannot be read (another user's) counts by its name: better waited for in
// vain than a file replaced under a running program.
int processesOf(const FileIdentity& program, const std::wstring& name) {
    const win::Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    int found = 0;
    std::wstring image(32768, L'\0');
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == ::GetCurrentProcessId()) continue;
        const win::Handle process(
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        DWORD size = static_cast<DWORD>(image.size());
        if (process && ::QueryFullProcessImageNameW(process.get(), 0, image.data(), &size))
            found += identityOf(image.substr(0, size)) == program;
        else
            found += ::lstrcmpiW(entry.szExeFile, name.c_str()) == 0;
    }
    return found;
}

}  // namespace

int endConsolesOf(const std::filesystem::path& program, std::chrono::milliseconds limit) {
    const auto identity = identityOf(program.wstring());
    if (!identity) return 0;  // no program, nothing runs it
    const std::wstring name = program.filename().wstring();
    int left = processesOf(*identity, name);
    if (left == 0) return 0;
    // None such: a console of a version that knows no such request runs alone.
    const win::Handle asked(::OpenEventW(EVENT_MODIFY_STATE, FALSE, kConsolesStop));
    if (!asked) return left;
    ::SetEvent(asked.get());
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (left > 0 && std::chrono::steady_clock::now() < deadline) {
        ::Sleep(100);
        left = processesOf(*identity, name);
    }
    ::ResetEvent(asked.get());
    return left;
}

}  // namespace plenvo::platform
