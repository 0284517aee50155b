#include "app/win32/win_dialogs.h"

#include <ole2.h>
#include <shlobj.h>

#include <vector>

#include "app/win32/win_form_view.h"
#include "platform/win/win32_win.h"

namespace plenvo::app {
namespace {

// The picker's newer look needs COM in a single-threaded apartment; a thread
// that has COM otherwise gets the older look.
class OleSession {
  public:
    OleSession() : result_(::OleInitialize(nullptr)) {}
    ~OleSession() {
        if (SUCCEEDED(result_)) ::OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    bool apartment() const { return SUCCEEDED(result_); }

  private:
    HRESULT result_;
};

// An item list the shell handed out.
class ItemList {
  public:
    ItemList() = default;
    explicit ItemList(PIDLIST_ABSOLUTE items) : items_(items) {}
    ~ItemList() { ::CoTaskMemFree(items_); }
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    PIDLIST_ABSOLUTE get() const { return items_; }
    PIDLIST_ABSOLUTE* out() { return &items_; }

  private:
    PIDLIST_ABSOLUTE items_ = nullptr;
};

}  // namespace

ui::MessageAnswer Win32Dialogs::messageBox(const std::string& text, const std::string& caption,
                                           ui::MessageButtons buttons) {
    const HWND owner = activeConsoleWindow();
    UINT type = buttons == ui::MessageButtons::ok ? MB_OK : MB_YESNO;
    // A box of the console's own, with no window of it in front, must still be seen.
    if (!owner) type |= MB_SETFOREGROUND;
    const std::wstring title =
        platform::win::wide(caption.empty() ? ui::kApplicationTitle : caption);
    const int answer = ::MessageBoxW(owner, platform::win::wide(text).c_str(), title.c_str(), type);
    if (buttons == ui::MessageButtons::ok) return ui::MessageAnswer::ok;
    return answer == IDYES ? ui::MessageAnswer::yes : ui::MessageAnswer::no;
}

std::optional<std::string> Win32Dialogs::browseForFolder(const std::string& title,
                                                         const std::string& root) {
    const OleSession ole;
    ItemList rootItems;
    if (!root.empty() && FAILED(::SHParseDisplayName(platform::win::wide(root).c_str(), nullptr,
                                                     rootItems.out(), 0, nullptr)))
        *rootItems.out() = nullptr;
    const std::wstring wideTitle = platform::win::wide(title);
    BROWSEINFOW browse{};
    browse.hwndOwner = activeConsoleWindow();
    browse.pidlRoot = rootItems.get();
    browse.lpszTitle = wideTitle.c_str();
    // Only folders of the file system, with a box to type one in.
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX;
    if (ole.apartment()) browse.ulFlags |= BIF_NEWDIALOGSTYLE;
    const ItemList chosen(::SHBrowseForFolderW(&browse));
    if (!chosen.get()) return std::nullopt;
    if (rootItems.get() && ::ILIsEqual(chosen.get(), rootItems.get())) return root;
    // A choice that is no folder of the file system has no path: an empty one.
    std::vector<wchar_t> path(32768, L'\0');
    if (!::SHGetPathFromIDListEx(chosen.get(), path.data(), static_cast<DWORD>(path.size()),
                                 GPFIDL_DEFAULT))
        return std::string();
    return platform::win::utf8(path.data());
}

}  // namespace plenvo::app
