#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace plenvo::test {

// Dispatches this thread's messages until `done` holds; false when it did not
// within the patience.
inline bool pumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds patience = std::chrono::seconds(10)) {
    const auto until = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// The first visible window of class `className` that thread `thread` made, or null.
inline HWND windowOfThread(DWORD thread, const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        HWND found = nullptr;
    } search{className};
    ::EnumThreadWindows(
        thread,
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            wchar_t name[64] = {};
            ::GetClassNameW(window, name, 64);
            if (std::wstring(name) != s->className || !::IsWindowVisible(window)) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Works a popup menu that the calling thread is about to open, from a thread
// of its own as a user at the keyboard would: `downs` presses of Down, then
// Enter, or Escape when `downs` is 0.
class MenuUser {
  public:
    explicit MenuUser(int downs)
        : thread_([owner = ::GetCurrentThreadId(), downs] {
              HWND menu = nullptr;
              for (int i = 0; i < 500 && !menu; ++i) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
                  menu = windowOfThread(owner, L"#32768");
              }
              if (!menu) return;
              for (int i = 0; i < downs; ++i) ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
              ::PostMessageW(menu, WM_KEYDOWN, downs ? VK_RETURN : VK_ESCAPE, 0);
          }) {}

  private:
    std::jthread thread_;
};

}  // namespace plenvo::test
