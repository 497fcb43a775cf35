#include "platform/Controls.h"

#include "platform/Application.h"
#include "platform/Window.h"
#include "platform/qt/QtSupport.h"
#include "platform/qt/Widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <optional>

namespace planora {

namespace {

QFont fontOf(const ControlSpec& spec) {
    QFont font = QApplication::font();
    if (spec.fontSize > 0)
        font.setPixelSize(int(spec.fontSize));
    font.setBold(spec.bold);
    return font;
}

Qt::Alignment horizontalAlignment(int code, Qt::Alignment fallback) {
    switch (code) {
    case 1:
        return Qt::AlignLeft;
    case 2:
        return Qt::AlignHCenter;
    case 3:
        return Qt::AlignRight;
    default:
        return fallback;
    }
}

// A widget that remembers its control, so that its event overrides can reach it; the control
// lets go of it when it dies before the widget does.
template <class Base, class Owner>
class OwnedWidget : public Base {
public:
    explicit OwnedWidget(Owner* owner, QWidget* parent) : Base(parent), owner_(owner) {}
    Owner* owner() const { return owner_; }

private:
    Owner* owner_;
};

class CanvasWidget : public OwnedWidget<QWidget, Canvas> {
public:
    using OwnedWidget::OwnedWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        Canvas* canvas = owner();
        if (canvas == nullptr)
            return;
        if (const Picture& backdrop = canvas->Backdrop(); !backdrop.isNil()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            painter.drawImage(QPointF(0, 0), imageOf(backdrop));
        }
        if (canvas->Paint) {
            auto target = std::make_unique<Graphics::Target>();
            target->painter = &painter;
            target->size = size();
            Graphics g(std::move(target));
            runGuarded([&] { canvas->Paint(*canvas, g); });
        }
    }
};

// A field that is not being edited shows its text from the first character: a text wider than
// the field would otherwise keep its end in view, and a number would lose its sign.
class LineEditWidget : public OwnedWidget<QLineEdit, EditField> {
public:
    using OwnedWidget::OwnedWidget;

    void showStart() { setCursorPosition(0); }

protected:
    void focusOutEvent(QFocusEvent* event) override {
        // Switching to another window or opening a popup is no loss of focus within the window:
        // the caret and selection come back with the focus.
        const bool staysFocused = leavesForAWhile(*event);
        if (staysFocused)
            kept_ = Caret{cursorPosition(), selectionStart(), selectionLength()};
        QLineEdit::focusOutEvent(event);
        showStart();
        if (owner() && !staysFocused)
            owner()->raise(Event::LostFocus);
    }

    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        if (leavesForAWhile(*event) && kept_) {
            if (kept_->length == 0)
                setCursorPosition(kept_->cursor);
            else if (kept_->cursor == kept_->start) // selected from its end towards its start
                setSelection(kept_->start + kept_->length, -kept_->length);
            else
                setSelection(kept_->start, kept_->length);
        }
        kept_.reset();
    }

private:
    // True when the focus goes to another window or a popup, or comes back from one.
    static bool leavesForAWhile(const QFocusEvent& event) {
        return event.reason() == Qt::ActiveWindowFocusReason ||
               event.reason() == Qt::PopupFocusReason;
    }

    struct Caret {
        int cursor, start, length;
    };
    std::optional<Caret> kept_;
};

class ImageWellWidget : public OwnedWidget<QWidget, ImageWell> {
public:
    using OwnedWidget::OwnedWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        if (owner() == nullptr || owner()->Image().isNil())
            return;
        const QImage& image = imageOf(owner()->Image());
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        // Centred; shrunk to fit when the picture is larger than the well.
        QSize shown = image.size();
        if (shown.width() > width() || shown.height() > height())
            shown.scale(size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                           shown);
        painter.drawImage(target, image);
    }
};

// Each radio array is one stop of the tab order, on its selected member, and the arrow keys
// move within the array: the toolkit's convention. The toolkit itself makes the group one stop
// but stops at whichever member comes first in the tab order.
class RadioButtonWidget : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void focusInEvent(QFocusEvent* event) override {
        QRadioButton::focusInEvent(event);
        if (event->reason() != Qt::TabFocusReason && event->reason() != Qt::BacktabFocusReason)
            return;
        QAbstractButton* selected = group() ? group()->checkedButton() : nullptr;
        if (selected && selected != this && selected->isEnabled() &&
            selected->isVisibleTo(window()))
            selected->setFocus(event->reason());
    }
};

QString displayText(std::string_view text) {
    QString s = toQString(text);
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

} // namespace

// --- Control -----------------------------------------------------------------------------

Control::Control(Window& window, const ControlSpec& spec)
    : window_(window), name_(spec.name), index_(spec.index), kind_(spec.kind),
      peer_(std::make_unique<Peer>()) {}

Control::~Control() {
    if (QWidget* w = peer_->widget) {
        QObject::disconnect(w, nullptr, nullptr, nullptr);
        w->setProperty("planoraDetached", true);
    }
}

static QWidget& widgetOf(const Control& c) {
    QWidget* w = c.peer().widget;
    if (w == nullptr)
        throw NilObjectException();
    return *w;
}

bool Control::Enabled() const {
    return widgetOf(*this).isEnabled();
}
void Control::Enabled(bool enabled) {
    widgetOf(*this).setEnabled(enabled);
}
bool Control::Visible() const {
    return !widgetOf(*this).isHidden();
}
void Control::Visible(bool visible) {
    widgetOf(*this).setVisible(visible);
}
std::int64_t Control::Left() const {
    return widgetOf(*this).x();
}
std::int64_t Control::Top() const {
    return widgetOf(*this).y();
}
std::int64_t Control::Width() const {
    return widgetOf(*this).width();
}
std::int64_t Control::Height() const {
    return widgetOf(*this).height();
}
void Control::Invalidate(bool) {
    widgetOf(*this).update();
}
bool Control::hasFocus() const {
    return widgetOf(*this).hasFocus();
}
void Control::setFocus() {
    widgetOf(*this).setFocus(Qt::OtherFocusReason);
}

void Control::setHandler(Event event, std::function<void(Control&)> handler) {
    handlers_.at(std::size_t(event)) = std::move(handler);
}

bool Control::hasHandler(Event event) const {
    return bool(handlers_.at(std::size_t(event)));
}

void Control::raise(Event event) {
    const auto& handler = handlers_.at(std::size_t(event));
    if (handler)
        runGuarded([&] { handler(*this); });
}

// Places a new widget as the layout row says and hands it to the control.
template <class W>
static W* place(Control& c, W* widget, const ControlSpec& spec) {
    widget->setGeometry(spec.rect.left, spec.rect.top, spec.rect.width, spec.rect.height);
    widget->setFont(fontOf(spec));
    widget->setObjectName(toQString(spec.name));
    if (!spec.focusable)
        widget->setFocusPolicy(Qt::NoFocus);
    widget->setVisible(spec.visible);
    c.peer().widget = widget;
    return widget;
}

static QWidget* contentOf(Window& w) {
    return w.peer().content;
}

// --- Canvas ------------------------------------------------------------------------------

Canvas::Canvas(Window& window, const ControlSpec& spec) : Control(window, spec) {
    auto* w = place(*this, new CanvasWidget(this, contentOf(window)), spec);
    w->setFocusPolicy(Qt::NoFocus);
}

void Canvas::Backdrop(const Picture& picture) {
    backdrop_ = picture;
    widgetOf(*this).update();
}

// --- EditField ---------------------------------------------------------------------------

EditField::EditField(Window& window, const ControlSpec& spec) : Control(window, spec) {
    auto* w = place(*this, new LineEditWidget(this, contentOf(window)), spec);
    w->setText(toQString(spec.text));
    w->showStart();
    w->setAlignment(horizontalAlignment(spec.alignment, Qt::AlignLeft) | Qt::AlignVCenter);
    // Only what the user types raises TextChange; a text set by code does not.
    QObject::connect(w, &QLineEdit::textEdited, w, [this] { raise(Event::TextChange); });
}

std::string EditField::Text() const {
    return toStdString(static_cast<QLineEdit&>(widgetOf(*this)).text());
}

void EditField::Text(std::string_view text) {
    auto& field = static_cast<LineEditWidget&>(widgetOf(*this));
    field.setText(toQString(text));
    field.showStart();
}

// --- Buttons -----------------------------------------------------------------------------

PushButton::PushButton(Window& window, const ControlSpec& spec)
    : Control(window, spec), default_(spec.isDefault) {
    if (spec.kind == ControlKind::BevelButton) {
        auto* w = place(*this, new QToolButton(contentOf(window)), spec);
        w->setText(toQString(spec.text));
        w->setToolButtonStyle(Qt::ToolButtonTextOnly);
        QObject::connect(w, &QToolButton::clicked, w, [this] { raise(Event::Action); });
        return;
    }
    auto* w = place(*this, new QPushButton(contentOf(window)), spec);
    w->setText(toQString(spec.text));
    w->setDefault(spec.isDefault);
    w->setAutoDefault(false);
    QObject::connect(w, &QPushButton::clicked, w, [this] { raise(Event::Action); });
}

std::string PushButton::Caption() const {
    return toStdString(static_cast<QAbstractButton&>(widgetOf(*this)).text());
}

void PushButton::push() {
    auto& button = static_cast<QAbstractButton&>(widgetOf(*this));
    if (button.isEnabled() && button.isVisible())
        button.click();
}

BevelButton::BevelButton(Window& window, const ControlSpec& spec) : PushButton(window, spec) {}

CheckBox::CheckBox(Window& window, const ControlSpec& spec) : Control(window, spec) {
    auto* w = place(*this, new QCheckBox(contentOf(window)), spec);
    w->setText(toQString(spec.text));
    w->setChecked(spec.value);
    QObject::connect(w, &QCheckBox::clicked, w, [this] { raise(Event::Action); });
}

bool CheckBox::Value() const {
    return static_cast<QCheckBox&>(widgetOf(*this)).isChecked();
}
void CheckBox::Value(bool checked) {
    static_cast<QCheckBox&>(widgetOf(*this)).setChecked(checked);
}
std::string CheckBox::Caption() const {
    return toStdString(static_cast<QCheckBox&>(widgetOf(*this)).text());
}

RadioButton::RadioButton(Window& window, const ControlSpec& spec) : Control(window, spec) {
    auto* w = place(*this, new RadioButtonWidget(contentOf(window)), spec);
    w->setText(toQString(spec.text));
    w->setAutoExclusive(false);
    auto& groups = window.peer().radioGroups;
    auto it = groups.find(spec.name);
    if (it == groups.end()) {
        auto* group = new QButtonGroup(window.peer().top);
        group->setExclusive(true);
        it = groups.emplace(std::string(spec.name), group).first;
    }
    it->second->addButton(w);
    w->setChecked(spec.value);
    QObject::connect(w, &QRadioButton::clicked, w, [this] { raise(Event::Action); });
}

bool RadioButton::Value() const {
    return static_cast<QRadioButton&>(widgetOf(*this)).isChecked();
}

void RadioButton::Value(bool selected) {
    auto& button = static_cast<QRadioButton&>(widgetOf(*this));
    QButtonGroup* group = button.group();
    if (!selected && group && button.isChecked()) {
        // An exclusive group refuses to have its selection taken back; allow it for a moment.
        group->setExclusive(false);
        button.setChecked(false);
        group->setExclusive(true);
        return;
    }
    button.setChecked(selected);
}

std::string RadioButton::Caption() const {
    return toStdString(static_cast<QRadioButton&>(widgetOf(*this)).text());
}

// --- Labels, frames, picture wells --------------------------------------------------------

Label::Label(Window& window, const ControlSpec& spec) : Control(window, spec), text_(spec.text) {
    auto* w = place(*this, new QLabel(contentOf(window)), spec);
    w->setTextFormat(Qt::PlainText);
    w->setText(displayText(spec.text));
    w->setAlignment(horizontalAlignment(spec.alignment, Qt::AlignLeft) | Qt::AlignVCenter);
    w->setFocusPolicy(Qt::NoFocus);
}

void Label::Text(std::string_view text) {
    text_ = text;
    static_cast<QLabel&>(widgetOf(*this)).setText(displayText(text));
}

StaticText::StaticText(Window& window, const ControlSpec& spec) : Label(window, spec) {}

GroupBox::GroupBox(Window& window, const ControlSpec& spec) : Control(window, spec) {
    auto* w = place(*this, new QGroupBox(contentOf(window)), spec);
    w->setTitle(toQString(spec.text));
    w->setFocusPolicy(Qt::NoFocus);
    // A frame lies beneath the controls inside it, also those created before it.
    w->lower();
}

std::string GroupBox::Caption() const {
    return toStdString(static_cast<QGroupBox&>(widgetOf(*this)).title());
}

ImageWell::ImageWell(Window& window, const ControlSpec& spec) : Control(window, spec) {
    auto* w = place(*this, new ImageWellWidget(this, contentOf(window)), spec);
    w->setFocusPolicy(Qt::NoFocus);
}

void ImageWell::Image(const Picture& picture) {
    image_ = picture;
    widgetOf(*this).update();
}

} // namespace planora
