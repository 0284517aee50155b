#include "app/icon_animation.h"

namespace plenvo::app {

void IconAnimation::Icon_CHG() {
    static constexpr const char* kStates[kFrameCount] = {"0", "1", "2", "3", "4", "5", "6"};
    int frame = kRestingFrame;
    for (int i = 0; i < kFrameCount; ++i) {
        if (iconStep_ == kStates[i]) {
            frame = i;
            iconStep_ = kStates[(i + 1) % kFrameCount];
            break;
        }
    }
    shownFrame_ = frame;
    if (listener_) listener_(frame, tip_);
}

}  // namespace plenvo::app
