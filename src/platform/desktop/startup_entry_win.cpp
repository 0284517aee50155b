#include <objbase.h>
#include <shlobj.h>

#include "platform/desktop/startup_entry.h"
#include "platform/text/utf8_path.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

// Releases a COM interface at the end of the scope.
template <typename T>
class Com {
  public:
    ~Com() {
        if (p) p->Release();
    }
    T* p = nullptr;
};

}  // namespace

std::string startupEntryFileName(const std::string& name) {
    return name + ".lnk";
}

// A shortcut in the folder, as Windows starts the programs of its Startup
// folders at log-on. Whether one is made at all is the caller's to decide.
void createStartupEntry(const std::filesystem::path& folder, const std::string& name,
                        const std::filesystem::path& target,
                        const std::filesystem::path& workingFolder) {
    if (folder.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    // The system's paths name the program without the extension Windows
    // gives it; a shortcut needs the file's whole name.
    std::filesystem::path program = target;
    if (!program.has_extension()) program += L".exe";
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        Com<IShellLinkW> link;
        Com<IPersistFile> file;
        if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkW, reinterpret_cast<void**>(&link.p))) &&
            SUCCEEDED(link.p->SetPath(program.c_str())) &&
            SUCCEEDED(link.p->SetWorkingDirectory(workingFolder.c_str())) &&
            SUCCEEDED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))))
            file.p->Save((folder / pathFromUtf8(startupEntryFileName(name))).c_str(), TRUE);
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
}

std::optional<std::filesystem::path> startupEntryTarget(const std::filesystem::path& entry) {
    std::optional<std::filesystem::path> target;
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        Com<IShellLinkW> link;
        Com<IPersistFile> file;
        wchar_t path[MAX_PATH] = {};
        // SLGP_RAWPATH: the path as stored, without resolving a moved target.
        if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkW, reinterpret_cast<void**>(&link.p))) &&
            SUCCEEDED(
                link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))) &&
            SUCCEEDED(file.p->Load(entry.c_str(), STGM_READ)) &&
            link.p->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH) == S_OK && path[0] != L'\0')
            target = std::filesystem::path(path);
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return target;
}

}  // namespace plenvo::platform
