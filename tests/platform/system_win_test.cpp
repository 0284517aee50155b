// The lock of a single console, commands, the start-up shortcut, attributes,
// the environment and stop requests as Windows has them.

// windows.h first: the other Win32 headers build on it.
// clang-format off
#include <windows.h>
// clang-format on
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include "platform/desktop/startup_entry.h"
#include "platform/files/dos_attributes.h"
#include "platform/process/detached_command.h"
#include "platform/process/environment.h"
#include "platform/process/single_instance.h"
#include "platform/process/stop_request.h"
#include "platform/text/utf8_path.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Built beside the tests (command_probe.cpp).
fs::path probe() {
    return executablePath().parent_path() / "command_probe.exe";
}

bool sameName(const std::wstring& a, const std::wstring& b) {
    return ::lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

// A variable set for one test and put back afterwards.
class Variable {
  public:
    explicit Variable(const wchar_t* name) : name_(name) {
        wchar_t value[32767];
        const DWORD n = ::GetEnvironmentVariableW(name, value, 32767);
        if (n > 0 || ::GetLastError() != ERROR_ENVVAR_NOT_FOUND) saved_ = std::wstring(value, n);
    }
    ~Variable() { ::SetEnvironmentVariableW(name_, saved_ ? saved_->c_str() : nullptr); }
    void set(const wchar_t* value) { ::SetEnvironmentVariableW(name_, value); }

  private:
    const wchar_t* name_;
    std::optional<std::wstring> saved_;
};

TEST(SingleInstance, OneConsolePerFolderHoweverTheFolderIsSpelled) {
    test::TempDir base, other;
    auto first = acquireSingleInstance(base.path());
    ASSERT_TRUE(first);
    std::wstring upper = base.path().wstring();
    ::CharUpperW(upper.data());
    for (const fs::path& spelling :
         {base.path(), base.path() / ".", base.path() / "none" / "..", fs::path(upper),
          fs::path(base.path().generic_wstring() + L"/")})
        EXPECT_FALSE(acquireSingleInstance(spelling)) << spelling.string();
    EXPECT_TRUE(acquireSingleInstance(other.path()));
    first.reset();
    EXPECT_TRUE(acquireSingleInstance(base.path()));
}

TEST(Commands, ArgumentsArriveAsTheyWereGiven) {
    // A program in a folder with a blank and a Japanese name, given arguments
    // that the C runtime's rules make hard to pass: each must arrive whole.
    test::TempDir dir;
    const fs::path folder = dir.path() / pathFromUtf8("検査 用");
    fs::create_directory(folder);
    fs::copy_file(probe(), folder / "probe.exe");
    const std::vector<std::string> arguments = {"plain",
                                                "two words",
                                                "",
                                                "quote\"inside",
                                                "tail\\",
                                                "back\\\\\"slash",
                                                "\\\\server\\share\\",
                                                "日本語",
                                                "a\tb",
                                                "%PATH%",
                                                "\"\""};
    std::vector<std::string> argv = {utf8Of(folder / "probe.exe"), "args"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const auto run = runBounded(argv, 20s);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->exitCode, 0);
    std::string expected;
    for (const auto& argument : arguments) expected += argument + "\n";
    EXPECT_EQ(run->output, expected);
}

TEST(Commands, BoundedRunReturnsOutputAndEndsAHungProgram) {
    const auto exited = runBounded({utf8Of(probe()), "exit", "3"}, 20s);
    ASSERT_TRUE(exited);
    EXPECT_EQ(exited->output, "hello\n");
    EXPECT_EQ(exited->exitCode, 3);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(runBounded({utf8Of(probe()), "sleep", "30000"}, 1500ms));
    // Closing its output does not let a program run past the limit.
    EXPECT_FALSE(runBounded({utf8Of(probe()), "quiet-sleep", "30000"}, 1500ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_FALSE(runBounded({"C:\\no\\such\\program.exe"}, 1s));

    // Ended, not left running: it never gets to make its file.
    test::TempDir dir;
    const fs::path marker = dir.path() / "made";
    EXPECT_FALSE(runBounded({utf8Of(probe()), "touch", utf8Of(marker), "3000"}, 1500ms));
    std::this_thread::sleep_for(3s);
    EXPECT_FALSE(fs::exists(marker));
}

TEST(Commands, DetachedRunDoesNotWait) {
    test::TempDir dir;
    const fs::path marker = dir.path() / pathFromUtf8("済み");
    const auto start = std::chrono::steady_clock::now();
    runDetached({utf8Of(probe()), "touch", utf8Of(marker), "2000"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    for (int i = 0; i < 200 && !fs::exists(marker); ++i) std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(fs::exists(marker));
}

TEST(Commands, ProgramsAreFoundOnThePathButNotInTheCurrentFolder) {
    const std::string cmd = findProgram("cmd");
    ASSERT_FALSE(cmd.empty());
    EXPECT_TRUE(sameName(pathFromUtf8(cmd).filename().wstring(), L"cmd.exe"));
    EXPECT_TRUE(findProgram("no-such-program-here").empty());

    test::TempDir dir;
    fs::copy_file(probe(), dir.path() / "plenvoprobe.exe");
    const fs::path was = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_EQ(findProgram("plenvoprobe"), "");
    fs::current_path(was);
}

TEST(StartupEntry, AShortcutThatStartsTheProgramInItsFolder) {
    test::TempDir dir;
    // Wine keeps a shortcut's target in the ANSI code page: the program's
    // folder has a blank, but no Japanese name.
    const fs::path folder = dir.path() / pathFromUtf8("スタートアップ");
    const fs::path program = dir.path() / "Plenvo Backup";
    fs::create_directory(program);
    test::writeBytes(program / "PlenvoBackupMng.exe", "");
    EXPECT_EQ(startupEntryFileName("Plenvo Backup Manager"), "Plenvo Backup Manager.lnk");
    // Named as the system's paths name it, without ".exe".
    createStartupEntry(folder, "Plenvo Backup Manager", program / "PlenvoBackupMng", program);

    const fs::path shortcut = folder / "Plenvo Backup Manager.lnk";
    ASSERT_TRUE(fs::exists(shortcut));
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IShellLinkW, reinterpret_cast<void**>(&link))));
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
    ASSERT_TRUE(SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ)));
    wchar_t target[MAX_PATH] = {}, working[MAX_PATH] = {};
    EXPECT_TRUE(SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)));
    EXPECT_TRUE(SUCCEEDED(link->GetWorkingDirectory(working, MAX_PATH)));
    file->Release();
    link->Release();
    ::CoUninitialize();
    EXPECT_TRUE(sameName(target, (program / "PlenvoBackupMng.exe").wstring())) << utf8Of(target);
    EXPECT_TRUE(sameName(working, program.wstring())) << utf8Of(working);
}

TEST(DosAttributes, HiddenAndSystemComeAndGoWhileReadOnlyStays) {
    test::TempDir dir;
    const fs::path file = dir.path() / "RM";
    test::writeBytes(file, "x");
    constexpr DWORD kShown = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    setAttributes(file, kHidden | kSystem | kDirectory);
    EXPECT_EQ(::GetFileAttributesW(file.c_str()) & kShown,
              FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(attributes(file), kHidden | kSystem);
    setAttributes(file, 0);
    EXPECT_EQ(::GetFileAttributesW(file.c_str()) & kShown, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(attributes(file), 0);
    EXPECT_FALSE(attributes(dir.path() / "none"));
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Environment, ValuesComeAsUtf8AndAnEmptyOneIsNoMissingOne) {
    Variable variable(L"PLENVO_TEST_VALUE");
    variable.set(L"日本語 C:\\データ");
    EXPECT_EQ(environmentValue("PLENVO_TEST_VALUE"), "日本語 C:\\データ");
    const std::wstring longValue(5000, L'あ');
    variable.set(longValue.c_str());
    EXPECT_EQ(environmentValue("PLENVO_TEST_VALUE"), utf8Of(fs::path(longValue)));
    variable.set(L"");
    EXPECT_EQ(environmentValue("PLENVO_TEST_VALUE"), "");
    variable.set(nullptr);
    EXPECT_FALSE(environmentValue("PLENVO_TEST_VALUE"));
}

TEST(Environment, ComputerNamePrefersTheVariableThenTheSystemsName) {
    Variable variable(L"COMPUTERNAME");
    variable.set(L"SRV01");
    EXPECT_EQ(computerName(), "SRV01");
    variable.set(nullptr);
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(::GetComputerNameW(name, &size));
    EXPECT_EQ(computerName(), utf8Of(fs::path(name)));
}

TEST(Environment, FoldersOfTheShellAndOfThisProgram) {
    const fs::path startup = pathFromUtf8(specialFolder(SpecialFolder::startup));
    const fs::path allUsers = pathFromUtf8(specialFolder(SpecialFolder::allUsersStartup));
    EXPECT_TRUE(startup.is_absolute()) << startup.string();
    EXPECT_TRUE(allUsers.is_absolute()) << allUsers.string();
    EXPECT_NE(startup, allUsers);
    EXPECT_TRUE(sameName(executablePath().filename().wstring(), L"platform_tests.exe"));

    wchar_t temp[MAX_PATH + 1] = {};
    std::wstring system(temp, ::GetTempPathW(MAX_PATH + 1, temp));
    ASSERT_EQ(system.back(), L'\\');
    system.pop_back();
    EXPECT_EQ(pathFromUtf8(workingFolderFromTemp(std::nullopt)), fs::path(system));
}

TEST(StopRequestWatch, ACtrlCIsToldOnTheWatchsOwnThread) {
    // A console of this process's own, so that the event reaches nobody else.
    ::FreeConsole();
    ASSERT_TRUE(::AllocConsole());
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    std::promise<std::thread::id> told;
    std::atomic<int> times = 0;
    {
        StopRequestWatch watch([&] {
            if (times++ == 0) told.set_value(std::this_thread::get_id());
        });
        EXPECT_THROW(StopRequestWatch([] {}), std::logic_error);
        ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
        auto answer = told.get_future();
        ASSERT_EQ(answer.wait_for(10s), std::future_status::ready);
        EXPECT_NE(answer.get(), std::this_thread::get_id());
    }
    // Over with the watch: a new one may begin, and hears nothing of the old request.
    StopRequestWatch next([&] { ++times; });
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(times, 1);
    ::FreeConsole();
}

TEST(StopRequestWatch, AnInstallerAsksTheConsolesAndCountsThoseThatRunOn) {
    // The probe, in the program's place, stands for a console that does not answer.
    test::TempDir dir;
    const fs::path program = dir.path() / "PlenvoBackupMng.exe";
    fs::copy_file(probe(), program);
    EXPECT_EQ(endConsolesOf(program, 1s), 0);

    std::atomic<int> told = 0;
    std::optional<StopRequestWatch> watch;
    watch.emplace([&] { ++told; });
    std::wstring line = L"\"" + program.wstring() + L"\" sleep 30000";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION running{};
    ASSERT_TRUE(::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &running));
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(endConsolesOf(program, 1s), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 1s);
    // This process's own watch heard the request, once.
    for (int i = 0; i < 50 && told == 0; ++i) std::this_thread::sleep_for(100ms);
    EXPECT_EQ(told, 1);

    ::TerminateProcess(running.hProcess, 0);
    ::WaitForSingleObject(running.hProcess, 10000);
    ::CloseHandle(running.hThread);
    ::CloseHandle(running.hProcess);
    EXPECT_EQ(endConsolesOf(program, 1s), 0);
    // The request was taken back: a watch that starts later hears nothing.
    watch.reset();
    watch.emplace([&] { ++told; });
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(told, 1);
}

}  // namespace
}  // namespace plenvo::platform
