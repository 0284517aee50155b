#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "app/win32/win_hidden_window.h"
#include "app/win32/win_slow_work.h"
#include "window_thread.h"

namespace plenvo::app {
namespace {

TEST(Win32SlowWork, RunsAwayWhileTheWindowThreadAnswersAndItsWindowWaits) {
    // The window in front, as a settings window would be.
    HWND front = ::CreateWindowExW(0, L"STATIC", L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                   200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(front, nullptr);
    ::SetActiveWindow(front);
    std::atomic<bool> answered = false;
    HiddenWindow window(L"PlenvoSlowWorkTest", [&](UINT message, WPARAM, LPARAM) {
        if (message == WM_APP) answered = true;
        return std::optional<LRESULT>();
    });
    const DWORD windowThread = ::GetCurrentThreadId();
    DWORD workThread = 0;
    bool frontTookInput = true;
    Win32SlowWork().run([&] {
        workThread = ::GetCurrentThreadId();
        frontTookInput = ::IsWindowEnabled(front);
        ::PostMessageW(window.handle(), WM_APP, 0, 0);
        // Only a window thread that goes on dispatching gets this far.
        for (int i = 0; i < 1000 && !answered; ++i) ::Sleep(10);
    });
    EXPECT_TRUE(answered);
    EXPECT_NE(workThread, windowThread);
    EXPECT_FALSE(frontTookInput);
    EXPECT_TRUE(::IsWindowEnabled(front));
    ::DestroyWindow(front);
}

TEST(Win32SlowWork, HandsTheWorksFailureAndAQuitOnOnceItIsDone) {
    const DWORD windowThread = ::GetCurrentThreadId();
    EXPECT_THROW(Win32SlowWork().run([&] {
        if (!::PostThreadMessageW(windowThread, WM_QUIT, 7, 0))
            throw std::logic_error("the window thread has no queue");
        ::Sleep(100);
        throw std::runtime_error("the server went away");
    }),
                 std::runtime_error);
    MSG message;
    ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);
}

}  // namespace
}  // namespace plenvo::app
