#pragma once

#include <functional>
#include <string>

#include "intake/work_animation.h"

namespace plenvo::app {

// The tray icon's animation: each step shows the frame its IconStep names and
// moves on to the next frame; at rest it shows the resting icon.
class IconAnimation final : public intake::WorkAnimation {
  public:
    static constexpr int kRestingFrame = 2;
    static constexpr int kFrameCount = 7;

    // Told the frame to show at every step, and the tip text.
    using FrameListener = std::function<void(int frame, const std::string& tip)>;

    explicit IconAnimation(std::string version)
        : tip_("Plenvo Backup Manager Ver." + std::move(version)) {}

    void setListener(FrameListener listener) { listener_ = std::move(listener); }
    void setIconStep(intake::IconStep step) override { iconStep_ = step; }
    intake::IconStep iconStep() const { return iconStep_; }
    void showNextFrame() override;

    int shownFrame() const { return shownFrame_; }
    const std::string& tip() const { return tip_; }

  private:
    std::string tip_;
    intake::IconStep iconStep_ = intake::IconStep::resting;
    int shownFrame_ = kRestingFrame;
    FrameListener listener_;
};

}  // namespace plenvo::app
