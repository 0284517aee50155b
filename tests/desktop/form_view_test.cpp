#include "app/qt/form_view.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "qt_app.h"

namespace plenvo::app {
namespace {

using ui::ControlKind;

// A window with one control of every kind; clicks are recorded.
class SampleForm final : public ui::Form {
  public:
    SampleForm() {
        add({.name = "Frame1",
             .kind = ControlKind::frame,
             .geometry = {150, 300, 4500, 3000},
             .caption = "枠"});
        add({.name = "Label1",
             .kind = ControlKind::label,
             .geometry = {450, 750, 3000, 300},
             .frame = "Frame1",
             .caption = "ラベル",
             .redText = true,
             .border = true});
        add({.name = "Text1",
             .kind = ControlKind::textBox,
             .geometry = {450, 1200, 3000, 345},
             .frame = "Frame1"});
        add({.name = "List1",
             .kind = ControlKind::listBox,
             .geometry = {450, 1650, 3000, 1200},
             .frame = "Frame1",
             .lines = {"0001 | USB", "0002 | SD"},
             .fixedPitch = true});
        add({.name = "Check1",
             .kind = ControlKind::checkBox,
             .geometry = {4800, 300, 1500, 300},
             .caption = "監視"});
        add({.name = "Command1",
             .kind = ControlKind::button,
             .geometry = {4800, 900, 1500, 375},
             .caption = "押す"});
        add({.name = "Close",
             .kind = ControlKind::button,
             .geometry = {4800, 1500, 1500, 375},
             .caption = "閉じる"});
        add({.name = "Secret1",
             .kind = ControlKind::textBox,
             .geometry = {4800, 2100, 1500, 345},
             .masked = true});
        add({.name = "Shown1",
             .kind = ControlKind::textBox,
             .geometry = {4800, 2700, 1500, 345},
             .readOnly = true});
    }
    std::string caption() const override { return "見本"; }
    ui::Geometry clientArea() const override { return {0, 0, 6600, 3600}; }
    void Form_Load() override { ++loads; }
    void Form_Unload() override { ++unloads; }
    void click(const std::string& name) override {
        clicks.push_back(name);
        if (name == "Command1") control("Label1").caption = "押された";
        if (name == "Close") requestUnload();
    }

    int loads = 0, unloads = 0;
    std::vector<std::string> clicks;
};

class FormViewTest : public test::QtTest {
  protected:
    template <typename W>
    W* widget(const std::string& name) {
        return qobject_cast<W*>(view.widgetOf(name));
    }
    SampleForm form;
    FormView view{form};
};

TEST_F(FormViewTest, DrawsEveryControlWhereTheFormPutsIt) {
    EXPECT_EQ(view.windowTitle(), "見本");
    EXPECT_EQ(view.size(), QSize(440, 240));
    auto* frame = widget<QGroupBox>("Frame1");
    auto* label = widget<QLabel>("Label1");
    ASSERT_TRUE(frame && label && widget<QLineEdit>("Text1") && widget<QCheckBox>("Check1") &&
                widget<QPushButton>("Command1"));
    EXPECT_EQ(frame->title(), "枠");
    EXPECT_EQ(frame->geometry(), QRect(10, 20, 300, 200));
    // Window positions, drawn inside the frame that holds the control.
    EXPECT_EQ(label->parentWidget(), frame);
    EXPECT_EQ(label->geometry(), QRect(20, 30, 200, 20));
    EXPECT_EQ(label->text(), "ラベル");
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::red));
    auto* list = widget<QListWidget>("List1");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), "0002 | SD");
    EXPECT_EQ(list->font().styleHint(), QFont::TypeWriter);
    EXPECT_EQ(widget<QLineEdit>("Text1")->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(widget<QLineEdit>("Secret1")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(widget<QLineEdit>("Shown1")->isReadOnly());
    EXPECT_EQ(widget<QLineEdit>("Shown1")->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(widget<QLineEdit>("Text1")->isReadOnly());
}

TEST_F(FormViewTest, ForwardsTheUsersEventsAndRedrawsFromTheData) {
    widget<QPushButton>("Command1")->click();
    EXPECT_EQ(form.clicks, std::vector<std::string>{"Command1"});
    EXPECT_EQ(widget<QLabel>("Label1")->text(), "押された");

    emit widget<QLineEdit>("Text1")->textEdited("\\\\srv01\\data");
    EXPECT_EQ(form.control("Text1").text, "\\\\srv01\\data");
    // A password box hides what is typed, not from the form.
    emit widget<QLineEdit>("Secret1")->textEdited("pa$s");
    EXPECT_EQ(form.control("Secret1").text, "pa$s");

    widget<QCheckBox>("Check1")->click();
    EXPECT_TRUE(form.control("Check1").checked);
    widget<QListWidget>("List1")->setCurrentRow(1);
    EXPECT_EQ(form.control("List1").selected, 1);
    EXPECT_EQ(form.clicks, (std::vector<std::string>{"Command1", "Check1", "List1"}));

    // A change the form makes on its own shows at the next refresh, without an event.
    form.control("List1").lines = {"only"};
    form.control("Text1").enabled = false;
    view.refresh();
    EXPECT_EQ(widget<QListWidget>("List1")->count(), 1);
    EXPECT_FALSE(widget<QLineEdit>("Text1")->isEnabled());
    EXPECT_EQ(form.clicks.size(), 3u);
}

TEST_F(FormViewTest, LoadsBeforeShowingAndUnloadsOnceWhenTheFormAsks) {
    QTimer::singleShot(0, [this] { widget<QPushButton>("Close")->click(); });
    view.run();
    EXPECT_EQ(form.loads, 1);
    EXPECT_EQ(form.unloads, 1);
    EXPECT_FALSE(view.isVisible());
}

TEST_F(FormViewTest, ClosingTheWindowUnloadsTheForm) {
    QTimer::singleShot(0, [this] { view.reject(); });
    view.run();
    EXPECT_EQ(form.unloads, 1);
}

TEST_F(FormViewTest, ABoxNobodyTypesInShowsAMountPointByItsLastFolder) {
    auto& drive = form.control("Text1");
    drive.enabled = false;
    drive.text = "/media/user/USBSTICK";
    view.refresh();
    auto* edit = widget<QLineEdit>("Text1");
    EXPECT_EQ(edit->text(), "USBSTICK");
    EXPECT_EQ(edit->toolTip(), "/media/user/USBSTICK");
    EXPECT_EQ(drive.text, "/media/user/USBSTICK");

    drive.text = "E:";
    view.refresh();
    EXPECT_EQ(edit->text(), "E:");
    EXPECT_TRUE(edit->toolTip().isEmpty());

    // What the user types in stays whole.
    drive.enabled = true;
    drive.text = "/srv/backup/pc01";
    view.refresh();
    EXPECT_EQ(edit->text(), "/srv/backup/pc01");
}

// Work handed back after the view is gone never reaches the form.
TEST_F(FormViewTest, AViewThatIsGoneDropsWhatIsHandedBack) {
    SampleForm other;
    bool ran = false;
    {
        FormView gone(other);
        ASSERT_TRUE(other.inbox()->post([&] { ran = true; }));
    }
    QApplication::processEvents();
    EXPECT_FALSE(ran);
    EXPECT_EQ(other.inbox(), nullptr);
}

// As large as the registered media window, its delete button in the far corner.
class WideForm final : public ui::Form {
  public:
    WideForm() {
        add(ui::designed("List1", ControlKind::listBox, {150, 150, 12000, 6000}));
        add(ui::designed("削除", ControlKind::button, {12600, 8400, 1500, 495}, "削除"));
    }
    std::string caption() const override { return "登録済みメディア"; }
    ui::Geometry clientArea() const override { return {0, 0, 14430, 9195}; }
    void click(const std::string&) override {}
};

TEST(FormViewFit, AWindowLargerThanTheWorkAreaIsDrawnSmallerWholeAndFits) {
    test::qtApp();
    WideForm form;
    const QSize work(853, 640);  // 1280 x 960 at 150 %
    FormView view(form, nullptr, work);
    EXPECT_LT(view.fitFactor(), 1.0);
    EXPECT_LE(view.width() + 16, work.width());
    EXPECT_LE(view.height() + 40, work.height());
    // The far button stays inside, and the text shrinks with the places.
    const QWidget* button = view.widgetOf("削除");
    EXPECT_LE(button->geometry().right(), view.width());
    EXPECT_NEAR(button->width(), 100 * view.fitFactor(), 1.0);
    EXPECT_NEAR(button->font().pointSizeF(), QApplication::font().pointSizeF() * view.fitFactor(),
                0.01);

    // Told nothing, the screen's own work area counts; a window that fits stays as designed.
    FormView onScreen(form);
    EXPECT_LE(onScreen.width() + 16, onScreen.screen()->availableGeometry().width());
    SampleForm small;
    EXPECT_EQ(FormView(small, nullptr, work).size(), QSize(440, 240));
}

// A request list as the check window has it: a chosen line fills the box below,
// and the approve button approves what that box holds.
class RequestForm final : public ui::Form {
  public:
    RequestForm() {
        add({.name = "Filter", .kind = ControlKind::textBox, .geometry = {150, 150, 3000, 345}});
        add({.name = "Requests",
             .kind = ControlKind::listBox,
             .geometry = {150, 600, 3000, 1200},
             .lines = {"0001 | USB", "0002 | SD"}});
        add({.name = "Chosen",
             .kind = ControlKind::textBox,
             .geometry = {150, 1950, 3000, 345},
             .enabled = false});
        add({.name = "Approve",
             .kind = ControlKind::button,
             .geometry = {3300, 1950, 1200, 375},
             .caption = "許可"});
        add({.name = "Other",
             .kind = ControlKind::button,
             .geometry = {3300, 2400, 1200, 375},
             .caption = "再表示"});
    }
    std::string caption() const override { return "申請"; }
    ui::Geometry clientArea() const override { return {0, 0, 4800, 3000}; }
    void click(const std::string& name) override {
        clicks.push_back(name);
        const auto& list = control("Requests");
        if (name == "Requests")
            control("Chosen").text = list.selected >= 0 ? list.lines[list.selected] : "";
        if (name == "Approve" && !control("Chosen").text.empty())
            approved.push_back(control("Chosen").text);
    }

    std::vector<std::string> clicks, approved;
};

class FormViewKeyboard : public test::QtTest {
  protected:
    FormViewKeyboard() {
        view.show();
        view.activateWindow();
        for (int i = 0; i < 200 && !view.isActiveWindow(); ++i) QApplication::processEvents();
        view.widgetOf("Filter")->setFocus();
    }

    // A key pressed and let go on whatever has the focus.
    static void type(int key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &up);
    }
    QWidget* focused() const { return QApplication::focusWidget(); }

    RequestForm form;
    FormView view{form};
};

TEST_F(FormViewKeyboard, TabbingIntoTheListChoosesNoLine) {
    ASSERT_TRUE(view.isActiveWindow());
    type(Qt::Key_Tab);
    auto* list = qobject_cast<QListWidget*>(view.widgetOf("Requests"));
    ASSERT_EQ(focused(), list);
    EXPECT_EQ(form.control("Requests").selected, -1);
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_TRUE(form.clicks.empty());
    EXPECT_TRUE(form.control("Chosen").text.empty());

    type(Qt::Key_Tab);
    ASSERT_EQ(focused(), view.widgetOf("Approve"));
    type(Qt::Key_Space);
    type(Qt::Key_Return);
    EXPECT_EQ(form.clicks, (std::vector<std::string>{"Approve", "Approve"}));
    EXPECT_TRUE(form.approved.empty());
}

TEST_F(FormViewKeyboard, ArrowKeysChooseALineAndEnterPressesTheFocusedButton) {
    type(Qt::Key_Tab);
    type(Qt::Key_Down);
    EXPECT_EQ(form.control("Requests").selected, 0);
    EXPECT_EQ(form.control("Chosen").text, "0001 | USB");
    type(Qt::Key_Down);
    EXPECT_EQ(form.control("Chosen").text, "0002 | SD");

    type(Qt::Key_Tab);
    type(Qt::Key_Tab);
    ASSERT_EQ(focused(), view.widgetOf("Other"));
    type(Qt::Key_Enter);
    EXPECT_EQ(form.clicks.back(), "Other");
    EXPECT_TRUE(form.approved.empty());
    type(Qt::Key_Backtab);
    type(Qt::Key_Return);
    EXPECT_EQ(form.approved, std::vector<std::string>{"0002 | SD"});

    // Enter where no button has the focus presses none and keeps the window.
    const auto clicks = form.clicks.size();
    view.widgetOf("Filter")->setFocus();
    type(Qt::Key_Return);
    EXPECT_EQ(form.clicks.size(), clicks);
    EXPECT_TRUE(view.isVisible());
}

}  // namespace
}  // namespace plenvo::app
