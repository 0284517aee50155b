#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ui/form.h"
#include "ui/view_rules.h"

namespace plenvo::app {

// Draws any window of the console from its controls and forwards the user's
// typing, checks, selections and clicks to it. After every event the widgets
// are set again from the data, so the form's procedures only change data.
// Positions are the window's own, also for a control inside a frame. Work the
// form hands back from other threads runs between events, followed by a redraw.
// A window larger than the screen's work area is drawn smaller, fonts and
// places together, so that it fits.
class FormView final : public QDialog {
  public:
    // `workArea` in place of the screen's, as a screen of that size would give it.
    explicit FormView(ui::Form& form, QWidget* parent = nullptr,
                      std::optional<QSize> workArea = std::nullopt);
    ~FormView() override;

    // Form_Load, then the window until it closes; Form_Unload when it does.
    int run();
    void refresh();
    // The widget drawn for a control, or nullptr.
    QWidget* widgetOf(const std::string& controlName) const;
    // How much smaller than designed the window is drawn; 1 when it fits.
    double fitFactor() const { return fit_.factor; }

  protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void build();
    QWidget* makeWidget(const ui::Control& control, QWidget* parent, QPoint origin);
    void apply(const ui::Control& control, QWidget* widget) const;
    // Puts the user's change into the control, runs the event, redraws.
    void handle(const std::string& controlName, const std::function<void(ui::Control&)>& take,
                bool isClick);
    void unloadOnce();
    // Runs what other threads handed back, then draws the form again.
    void takePosted();
    QRect rectOf(const ui::Geometry& twips) const;

    ui::Form& form_;
    ui::ScreenFit fit_;
    std::shared_ptr<ui::WindowInbox> inbox_;
    std::map<std::string, QWidget*> widgets_;
    bool refreshing_ = false;
    bool unloaded_ = false;
};

}  // namespace plenvo::app
