#pragma once

namespace plenvo::intake {

// What the next step of the tray animation shows: one of its seven frames,
// the later ones following in turn, or the resting icon.
enum class IconStep { frame0, frame1, frame2, frame3, frame4, frame5, frame6, resting = 99 };

// The tray animation as long jobs drive it: the first frame before the work,
// one step per unit of work, the resting icon at the end.
class WorkAnimation {
  public:
    virtual ~WorkAnimation() = default;
    virtual void setIconStep(IconStep step) = 0;
    virtual void showNextFrame() = 0;
};

class NoAnimation final : public WorkAnimation {
  public:
    void setIconStep(IconStep) override {}
    void showNextFrame() override {}
};

// Puts the resting state back however the work ends.
class AnimationRun {
  public:
    explicit AnimationRun(WorkAnimation& animation) : animation_(animation) {
        animation_.setIconStep(IconStep::frame0);
        animation_.showNextFrame();
    }
    ~AnimationRun() {
        animation_.setIconStep(IconStep::resting);
        animation_.showNextFrame();
    }
    AnimationRun(const AnimationRun&) = delete;
    AnimationRun& operator=(const AnimationRun&) = delete;
    void step() { animation_.showNextFrame(); }

  private:
    WorkAnimation& animation_;
};

}  // namespace plenvo::intake
