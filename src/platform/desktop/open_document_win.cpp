#include <objbase.h>
#include <shellapi.h>

#include "platform/desktop/open_document.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {

void openDocument(const std::filesystem::path& document) {
    // Some programs that open documents are shell extensions, which want COM
    // on the calling thread.
    const HRESULT com =
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ::ShellExecuteW(nullptr, L"open", document.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(com)) ::CoUninitialize();
}

void openWebAddress(const std::string& address) {
    openDocument(std::filesystem::path(win::wide(address)));
}

}  // namespace plenvo::platform
