#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <string>

#include "ui/form.h"

namespace plenvo::app {

// Draws any window of the console from its controls and forwards the user's
// typing, checks, selections and clicks to it. After every event the widgets
// are set again from the data, so the form's procedures only change data.
// Positions are the window's own, also for a control inside a frame.
class FormView final : public QDialog {
  public:
    explicit FormView(ui::Form& form, QWidget* parent = nullptr);
    ~FormView() override;

    // Form_Load, then the window until it closes; Form_Unload when it does.
    int run();
    void refresh();
    // The widget drawn for a control, or nullptr.
    QWidget* widgetOf(const std::string& controlName) const;

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

    ui::Form& form_;
    std::map<std::string, QWidget*> widgets_;
    bool refreshing_ = false;
    bool unloaded_ = false;
};

}  // namespace plenvo::app
