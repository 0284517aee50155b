#pragma once

#include <functional>
#include <string>

#include "intake/work_animation.h"

namespace plenvo::app {

// The tray animation state IconStep and its step routine Icon_CHG: "0" to "6"
// name the next frame; anything else shows the resting icon.
class IconAnimation final : public intake::WorkAnimation {
  public:
    static constexpr int kRestingFrame = 2;
    static constexpr int kFrameCount = 7;

    // Told the frame to show at every step, and the tip text.
    using FrameListener = std::function<void(int frame, const std::string& tip)>;

    explicit IconAnimation(std::string version)
        : tip_("Plenvo Backup Manager Ver." + std::move(version)) {}

    void setListener(FrameListener listener) { listener_ = std::move(listener); }
    void setIconStep(const std::string& state) override { iconStep_ = state; }
    const std::string& iconStep() const { return iconStep_; }
    void Icon_CHG() override;

    int shownFrame() const { return shownFrame_; }
    const std::string& tip() const { return tip_; }

  private:
    std::string tip_;
    std::string iconStep_;
    int shownFrame_ = kRestingFrame;
    FrameListener listener_;
};

}  // namespace plenvo::app
