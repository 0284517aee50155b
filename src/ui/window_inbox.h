#pragma once

#include <deque>
#include <functional>
#include <mutex>

namespace plenvo::ui {

// The way back to an open window's thread for work that ran elsewhere. A view
// makes one for each window it shows and hands it to the form; any thread
// posts to it, and the view runs what was posted on the window thread, then
// draws the form again from its data. Once the window closes, what was posted
// and what comes later is dropped: posted work may hold the form, for it never
// runs after the form's window is gone.
class WindowInbox {
  public:
    // `wake` tells the view, from the posting thread, that work is waiting;
    // never called once the inbox is closed.
    explicit WindowInbox(std::function<void()> wake) : wake_(std::move(wake)) {}

    // From any thread. False when the window has closed and the work was dropped.
    bool post(std::function<void()> work);
    // On the window thread: runs what is waiting, in the order it came; what a
    // piece throws is dropped. False when nothing ran.
    bool runPosted();
    // On the window thread, as the window goes.
    void close();
    bool closed() const;

  private:
    const std::function<void()> wake_;
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    bool closed_ = false;
};

}  // namespace plenvo::ui
