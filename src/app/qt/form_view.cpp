#include "app/qt/form_view.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <algorithm>

#include "ui/view_rules.h"

namespace plenvo::app {
namespace {

using ui::Control;
using ui::ControlKind;

// Qt places widgets in pixels of 96 dots per inch and scales them itself.
constexpr int kLogicalDpi = 96;
// The title bar and borders the window manager adds, which Qt learns only once
// the window shows: about what the common ones take.
constexpr QSize kFrameAllowance(16, 40);

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// Fixed-width list lines need a font whose full-width characters are exactly two
// half-width ones; the CJK mono face does that, plain "monospace" does not.
QFont fixedPitchFont(QFont font) {
    font.setFamilies({"Noto Sans Mono CJK JP", "monospace"});
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

// A list box as on Windows: taking the focus chooses no line. Qt makes the first
// line current on focus-in; that is taken back, so the first arrow key picks line one.
class ListBox final : public QListWidget {
  public:
    using QListWidget::QListWidget;

  protected:
    void focusInEvent(QFocusEvent* event) override {
        const bool hadCurrent = currentIndex().isValid();
        QListWidget::focusInEvent(event);
        if (hadCurrent || !currentIndex().isValid() || !selectedItems().isEmpty()) return;
        const QSignalBlocker quiet(this);
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    }
};

int selectedRow(const QListWidget& list) {
    const auto items = list.selectedItems();
    return items.isEmpty() ? -1 : list.row(items.front());
}

bool sameLines(const QListWidget& list, const std::vector<std::string>& lines) {
    if (list.count() != static_cast<int>(lines.size())) return false;
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->text() != q(lines[static_cast<size_t>(i)])) return false;
    return true;
}

}  // namespace

FormView::FormView(ui::Form& form, QWidget* parent, std::optional<QSize> workArea)
    : QDialog(parent), form_(form) {
    setWindowTitle(q(form_.caption()));
    const QScreen* shownOn = screen();
    const QSize room = workArea  ? *workArea
                       : shownOn ? shownOn->availableGeometry().size()
                                 : QSize(1 << 20, 1 << 20);
    fit_ = ui::fitToScreen(form_.clientArea(), kLogicalDpi, room.width(), room.height(),
                           kFrameAllowance.width(), kFrameAllowance.height());
    if (fit_.factor < 1.0) {
        // Set on the window, so that every control takes it.
        QFont smaller = font();
        if (smaller.pointSizeF() > 0)
            smaller.setPointSizeF(smaller.pointSizeF() * fit_.factor);
        else
            smaller.setPixelSize(std::max(1, static_cast<int>(smaller.pixelSize() * fit_.factor)));
        setFont(smaller);
    }
    setFixedSize(fit_.client.width, fit_.client.height);
    build();
    // Queued to the application, which outlives every window: the view may be
    // gone by the time the work arrives.
    const QPointer<FormView> self(this);
    inbox_ = std::make_shared<ui::WindowInbox>([self] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self] {
                if (self) self->takePosted();
            },
            Qt::QueuedConnection);
    });
    form_.setInbox(inbox_);
    refresh();
}

FormView::~FormView() {
    inbox_->close();
    if (form_.inbox() == inbox_) form_.setInbox(nullptr);
    // Widgets going away still signal; none of that is the user's doing.
    for (const auto& [name, widget] : widgets_) widget->disconnect(this);
}

QRect FormView::rectOf(const ui::Geometry& twips) const {
    const ui::Geometry g = ui::pixelsOf(twips, fit_.dpi);
    return {g.left, g.top, g.width, g.height};
}

void FormView::build() {
    // Frames first, so that what they hold can be placed in them.
    for (const Control& c : form_.controls())
        if (c.kind == ControlKind::frame) widgets_[c.name] = makeWidget(c, this, {});
    for (const Control& c : form_.controls()) {
        if (c.kind == ControlKind::frame) continue;
        const auto holder = widgets_.find(c.frame);
        if (c.frame.empty() || holder == widgets_.end())
            widgets_[c.name] = makeWidget(c, this, {});
        else
            widgets_[c.name] = makeWidget(c, holder->second, holder->second->pos());
    }
}

QWidget* FormView::makeWidget(const Control& c, QWidget* parent, QPoint origin) {
    const std::string name = c.name;
    QWidget* widget = nullptr;
    switch (c.kind) {
        case ControlKind::frame:
            widget = new QGroupBox(parent);
            break;
        case ControlKind::label: {
            auto* label = new QLabel(parent);
            label->setWordWrap(true);
            widget = label;
            break;
        }
        case ControlKind::textBox: {
            auto* edit = new QLineEdit(parent);
            connect(edit, &QLineEdit::textEdited, this, [this, name](const QString& text) {
                handle(
                    name, [&](Control& ctl) { ctl.text = text.toStdString(); }, false);
            });
            widget = edit;
            break;
        }
        case ControlKind::button: {
            auto* button = new QPushButton(parent);
            button->setAutoDefault(false);
            connect(button, &QPushButton::clicked, this, [this, name] { handle(name, {}, true); });
            widget = button;
            break;
        }
        case ControlKind::listBox: {
            auto* list = new ListBox(parent);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            // Only a chosen line counts, not the current one that focus moves.
            connect(list, &QListWidget::itemSelectionChanged, this, [this, name, list] {
                const int row = selectedRow(*list);
                // As on Windows, the user cannot empty the choice: it is drawn again.
                if (row < 0) {
                    if (!refreshing_) refresh();
                    return;
                }
                handle(
                    name, [row](Control& ctl) { ctl.selected = row; }, true);
            });
            widget = list;
            break;
        }
        case ControlKind::checkBox: {
            auto* box = new QCheckBox(parent);
            connect(box, &QCheckBox::clicked, this, [this, name](bool on) {
                handle(
                    name, [on](Control& ctl) { ctl.checked = on; }, true);
            });
            widget = box;
            break;
        }
    }
    widget->setObjectName(q(name));
    widget->setGeometry(rectOf(c.geometry).translated(-origin));
    if (c.fixedPitch) widget->setFont(fixedPitchFont(widget->font()));
    if (c.redText) {
        QPalette palette = widget->palette();
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(role, Qt::red);
        widget->setPalette(palette);
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setAlignment(c.centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
        if (c.border) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (c.centred) edit->setAlignment(Qt::AlignCenter);
        if (c.masked) edit->setEchoMode(QLineEdit::Password);
        if (c.readOnly) {
            edit->setReadOnly(true);
            edit->setFocusPolicy(Qt::NoFocus);
        }
    }
    return widget;
}

void FormView::apply(const Control& c, QWidget* widget) const {
    const QSignalBlocker quiet(widget);
    widget->setEnabled(c.enabled);
    widget->setVisible(c.visible);
    switch (c.kind) {
        case ControlKind::frame:
            static_cast<QGroupBox*>(widget)->setTitle(q(c.caption));
            break;
        case ControlKind::label:
            static_cast<QLabel*>(widget)->setText(q(c.caption));
            break;
        case ControlKind::button:
            static_cast<QPushButton*>(widget)->setText(q(c.caption));
            break;
        case ControlKind::checkBox: {
            auto* box = static_cast<QCheckBox*>(widget);
            box->setText(q(c.caption));
            box->setChecked(c.checked);
            break;
        }
        case ControlKind::textBox: {
            auto* edit = static_cast<QLineEdit*>(widget);
            // A box nobody types in may shorten a path; the tip holds it whole.
            const QString full = q(c.text);
            const QString shown = c.enabled ? full : q(ui::shownPlace(c.text));
            // Setting an equal text would still move the cursor to the end.
            if (edit->text() != shown) edit->setText(shown);
            edit->setToolTip(shown == full ? QString() : full);
            break;
        }
        case ControlKind::listBox: {
            auto* list = static_cast<QListWidget*>(widget);
            if (!sameLines(*list, c.lines)) {
                list->clear();
                for (const auto& line : c.lines) list->addItem(q(line));
            }
            const int row = c.selected < list->count() ? c.selected : -1;
            if (selectedRow(*list) != row || list->currentRow() != row) list->setCurrentRow(row);
            break;
        }
    }
}

void FormView::refresh() {
    refreshing_ = true;
    for (const Control& c : form_.controls()) {
        const auto found = widgets_.find(c.name);
        if (found != widgets_.end()) apply(c, found->second);
    }
    refreshing_ = false;
}

QWidget* FormView::widgetOf(const std::string& controlName) const {
    const auto found = widgets_.find(controlName);
    return found == widgets_.end() ? nullptr : found->second;
}

void FormView::takePosted() {
    if (unloaded_ || !inbox_->runPosted()) return;
    refresh();
    if (form_.unloadRequested()) accept();
}

void FormView::handle(const std::string& controlName, const std::function<void(Control&)>& take,
                      bool isClick) {
    if (refreshing_ || unloaded_) return;
    ui::deliverEvent(form_, controlName, take, isClick);
    refresh();
    if (form_.unloadRequested()) accept();
}

int FormView::run() {
    ui::loadForm(form_);
    refresh();
    if (form_.unloadRequested()) {
        unloadOnce();
        return Accepted;
    }
    return exec();
}

void FormView::unloadOnce() {
    if (unloaded_) return;
    unloaded_ = true;
    // What comes back later finds the form closed.
    inbox_->close();
    ui::unloadForm(form_);
}

void FormView::keyPressEvent(QKeyEvent* event) {
    // Enter presses the button that has the focus, as on Windows; the windows
    // have no default button, so Enter elsewhere presses none.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button && button->isEnabled() && button->isVisible()) button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FormView::done(int result) {
    unloadOnce();
    QDialog::done(result);
}

}  // namespace plenvo::app
