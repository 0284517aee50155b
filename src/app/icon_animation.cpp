#include "app/icon_animation.h"

namespace plenvo::app {

void IconAnimation::showNextFrame() {
    using intake::IconStep;
    const int step = static_cast<int>(iconStep_);
    const bool animating = iconStep_ != IconStep::resting && step >= 0 && step < kFrameCount;
    const int frame = animating ? step : kRestingFrame;
    if (animating) iconStep_ = static_cast<IconStep>((step + 1) % kFrameCount);
    shownFrame_ = frame;
    if (listener_) listener_(frame, tip_);
}

}  // namespace plenvo::app
