#pragma once

#include <string>

namespace plenvo::intake {

// The tray animation as long jobs drive it: state "0" before the work, one
// step per unit of work, state "99" and one more step at the end.
class WorkAnimation {
  public:
    virtual ~WorkAnimation() = default;
    virtual void setIconStep(const std::string& state) = 0;
    virtual void Icon_CHG() = 0;
};

class NoAnimation final : public WorkAnimation {
  public:
    void setIconStep(const std::string&) override {}
    void Icon_CHG() override {}
};

// Puts the resting state back however the work ends.
class AnimationRun {
  public:
    explicit AnimationRun(WorkAnimation& animation) : animation_(animation) {
        animation_.setIconStep("0");
        animation_.Icon_CHG();
    }
    ~AnimationRun() {
        animation_.setIconStep("99");
        animation_.Icon_CHG();
    }
    AnimationRun(const AnimationRun&) = delete;
    AnimationRun& operator=(const AnimationRun&) = delete;
    void step() { animation_.Icon_CHG(); }

  private:
    WorkAnimation& animation_;
};

}  // namespace plenvo::intake
