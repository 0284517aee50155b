#include "ui/window_inbox.h"

namespace plenvo::ui {

bool WindowInbox::post(std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    if (closed_) return false;
    posted_.push_back(std::move(work));
    // Under the lock, so that no wake reaches a view after close() returned.
    if (wake_) wake_();
    return true;
}

bool WindowInbox::runPosted() {
    bool ran = false;
    for (;;) {
        std::function<void()> work;
        {
            const std::lock_guard lock(mutex_);
            if (closed_ || posted_.empty()) return ran;
            work = std::move(posted_.front());
            posted_.pop_front();
        }
        // Outside the lock: a piece may open a message box, whose loop runs the
        // next. A failure stays inside, as for the events: the work tells its own.
        ran = true;
        try {
            work();
        } catch (...) {
        }
    }
}

void WindowInbox::close() {
    std::deque<std::function<void()>> dropped;
    const std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(posted_);
}

bool WindowInbox::closed() const {
    const std::lock_guard lock(mutex_);
    return closed_;
}

}  // namespace plenvo::ui
