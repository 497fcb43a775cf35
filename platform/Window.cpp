#include "platform/Window.h"

#include "platform/Application.h"
#include "platform/Menus.h"
#include "platform/qt/FrontWindow.h"
#include "platform/qt/QtSupport.h"
#include "platform/qt/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <algorithm>

namespace planora {

namespace {

struct Registry {
    std::vector<std::pair<std::string, std::unique_ptr<Window>>> open;
    // Closed windows wait here until the handler that closed them has returned.
    std::vector<std::unique_ptr<Window>> closed;
};

Registry& registry() {
    static Registry r;
    return r;
}

void scheduleDeletion() {
    QTimer::singleShot(0, qApp, [] { registry().closed.clear(); });
}

QKeySequence keySequence(std::string_view shortcut) {
    QString s = toQString(shortcut);
    // "Cmd" is the platform's standard modifier; Qt's "Ctrl" is Cmd on macOS. The portable
    // form reads "Ctrl" the same way whatever the user's language.
    s.replace(QLatin1String("Cmd"), QLatin1String("Ctrl"));
    return QKeySequence(s, QKeySequence::PortableText);
}

} // namespace

// --- The top-level widget ------------------------------------------------------------------

void TopLevelWidget::closeEvent(QCloseEvent* event) {
    event->accept();
    if (owner_)
        owner_->handleClose();
}

void TopLevelWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        noteActivated(this);
    if (event->type() != QEvent::WindowStateChange || owner_ == nullptr)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized))
        owner_->handleRestore();
}

void TopLevelWidget::keyPressEvent(QKeyEvent* event) {
    // Qt honours a default button only in dialogs; in a window the Return key reaches here
    // when the focused control does not use it (edit fields pass it on).
    if (owner_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        for (const auto& c : owner_->controls()) {
            auto* button = dynamic_cast<PushButton*>(c.get());
            if (button && button->Default() && button->Enabled() && button->Visible()) {
                button->push();
                event->accept();
                return;
            }
        }
    }
    QWidget::keyPressEvent(event);
}

// --- Window --------------------------------------------------------------------------------

Window::Window() : peer_(std::make_unique<Peer>()) {
    peer_->top = new TopLevelWidget(this);
    peer_->top->setAttribute(Qt::WA_DeleteOnClose, false);
    peer_->layout = new QVBoxLayout(peer_->top);
    peer_->layout->setContentsMargins(0, 0, 0, 0);
    peer_->layout->setSpacing(0);
    peer_->content = new QWidget(peer_->top);
    peer_->layout->addWidget(peer_->content);
}

Window::~Window() {
    // Controls first: they let go of their widgets, which then die with the top-level widget.
    controls_.clear();
    peer_->top->detach();
    delete peer_->top;
}

void Window::adopt(std::string className, std::unique_ptr<Window> window) {
    window->className_ = className;
    registry().open.emplace_back(std::move(className), std::move(window));
}

Ptr<Window> Window::find(std::string_view className) {
    for (auto& [name, window] : registry().open)
        if (name == className)
            return window.get();
    return nullptr;
}

std::vector<Window*> Window::openWindows() {
    std::vector<Window*> all;
    for (auto& entry : registry().open)
        all.push_back(entry.second.get());
    return all;
}

void Window::discardAll() {
    auto& r = registry();
    for (auto& entry : r.open)
        entry.second->closing_ = true;
    r.open.clear();
    r.closed.clear();
}

void Window::build() {
    Layout();
    CreateControls();
    AddMenuHandlers();
    runGuarded([this] { Event_Open(); });
    if (peer_->visibleByLayout && !closing_)
        Show();
}

void Window::apply(const WindowSpec& spec) {
    TopLevelWidget* top = peer_->top;
    top->setWindowTitle(toQString(spec.title));
    Qt::WindowFlags flags =
        Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowSystemMenuHint;
    if (spec.hasCloseButton)
        flags |= Qt::WindowCloseButtonHint;
    if (spec.hasMinimizeButton)
        flags |= Qt::WindowMinimizeButtonHint;
    if (spec.hasMaximizeButton)
        flags |= Qt::WindowMaximizeButtonHint;
    top->setWindowFlags(flags);
    if (spec.resizeable) {
        peer_->content->setMinimumSize(spec.minWidth, spec.minHeight);
        peer_->content->setMaximumSize(spec.maxWidth, spec.maxHeight);
        peer_->content->resize(spec.width, spec.height);
        peer_->layout->setSizeConstraint(QLayout::SetDefaultConstraint);
    } else {
        peer_->content->setFixedSize(spec.width, spec.height);
        peer_->layout->setSizeConstraint(QLayout::SetFixedSize);
    }
    if (spec.backgroundColor) {
        QPalette palette = top->palette();
        palette.setColor(QPalette::Window, toQColor(*spec.backgroundColor));
        top->setPalette(palette);
        top->setAutoFillBackground(true);
    }
    peer_->visibleByLayout = spec.visible;
}

void Window::createControls(std::span<const ControlSpec> table) {
    for (const ControlSpec& spec : table) {
        std::unique_ptr<Control> c;
        switch (spec.kind) {
        case ControlKind::Canvas:
            c = std::make_unique<Canvas>(*this, spec);
            break;
        case ControlKind::EditField:
            c = std::make_unique<EditField>(*this, spec);
            break;
        case ControlKind::PushButton:
            c = std::make_unique<PushButton>(*this, spec);
            break;
        case ControlKind::BevelButton:
            c = std::make_unique<BevelButton>(*this, spec);
            break;
        case ControlKind::CheckBox:
            c = std::make_unique<CheckBox>(*this, spec);
            break;
        case ControlKind::RadioButton:
            c = std::make_unique<RadioButton>(*this, spec);
            break;
        case ControlKind::Label:
            c = std::make_unique<Label>(*this, spec);
            break;
        case ControlKind::StaticText:
            c = std::make_unique<StaticText>(*this, spec);
            break;
        case ControlKind::GroupBox:
            c = std::make_unique<GroupBox>(*this, spec);
            break;
        case ControlKind::ImageWell:
            c = std::make_unique<ImageWell>(*this, spec);
            break;
        }
        Control& added = *c;
        controls_.push_back(std::move(c));
        if (spec.picture) {
            if (auto* well = dynamic_cast<ImageWell*>(&added))
                well->Image(spec.picture());
            else if (auto* canvas = dynamic_cast<Canvas*>(&added))
                canvas->Backdrop(spec.picture());
        }
    }

    // The focus moves through the window's own controls by their tab index; the children of
    // a frame follow the frame, by their own index.
    std::vector<const ControlSpec*> order;
    std::vector<const ControlSpec*> top;
    for (const ControlSpec& spec : table)
        if (spec.parent.empty())
            top.push_back(&spec);
    std::stable_sort(top.begin(), top.end(), [](auto* a, auto* b) { return a->tab < b->tab; });
    for (const ControlSpec* spec : top) {
        order.push_back(spec);
        std::vector<const ControlSpec*> children;
        for (const ControlSpec& child : table)
            if (child.parent == spec->name)
                children.push_back(&child);
        std::stable_sort(children.begin(), children.end(),
                         [](auto* a, auto* b) { return a->tab < b->tab; });
        order.insert(order.end(), children.begin(), children.end());
    }
    QWidget* previous = nullptr;
    for (const ControlSpec* spec : order) {
        Control* c = findControl(spec->name, spec->index);
        QWidget* w = c ? c->peer().widget.data() : nullptr;
        if (w == nullptr || w->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

Control* Window::findControl(std::string_view name, std::int64_t index) const {
    for (const auto& c : controls_)
        if (c->Name() == name && c->Index() == index)
            return c.get();
    return nullptr;
}

std::vector<Control*> Window::namedControls(std::string_view name) const {
    std::vector<Control*> found;
    for (const auto& c : controls_)
        if (c->Name() == name)
            found.push_back(c.get());
    if (found.empty())
        throw std::logic_error("no control named " + std::string(name));
    return found;
}

void Window::Show() {
    if (closing_)
        return;
    TopLevelWidget* top = peer_->top;
    if (!placed_) {
        placed_ = true;
        placeOnScreen();
    } else if (!top->isVisible()) {
        // Fitting the window to its content forgets that a position given by code is the
        // frame's; the window manager would then put the content there instead.
        peer_->layout->activate();
        top->move(top->pos());
    }
    // A minimised window comes back; show and raise alone leave it minimised.
    top->setWindowState(top->windowState() & ~Qt::WindowMinimized);
    top->show();
    top->raise();
    top->activateWindow();
}

void Window::Close() {
    handleClose();
}

void Window::handleClose() {
    if (closing_)
        return;
    closing_ = true;
    runGuarded([this] { Event_Close(); });
    const bool hadKeyboard = peer_->top->isActiveWindow();
    peer_->top->hide();
    if (hadKeyboard)
        giveKeyboardOn(peer_->top);
    auto& open = registry().open;
    auto it = std::find_if(open.begin(), open.end(),
                           [this](const auto& entry) { return entry.second.get() == this; });
    if (it != open.end()) {
        registry().closed.push_back(std::move(it->second));
        open.erase(it);
        scheduleDeletion();
    }
}

void Window::handleRestore() {
    runGuarded([this] { Event_Restore(); });
}

void Window::Refresh(bool) {
    peer_->top->update();
    for (QWidget* child : peer_->content->findChildren<QWidget*>())
        child->update();
}

bool Window::isVisible() const {
    return peer_->top->isVisible();
}

std::int64_t Window::Left() const {
    return peer_->top->pos().x();
}
std::int64_t Window::Top() const {
    return peer_->top->pos().y();
}
std::int64_t Window::Width() const {
    return peer_->content->width();
}
std::int64_t Window::Height() const {
    return peer_->content->height();
}

static int clampToScreenRange(std::int64_t v) {
    return int(std::clamp<std::int64_t>(v, -32000, 32000));
}

void Window::Left(std::int64_t left) {
    placed_ = true;
    peer_->top->move(clampToScreenRange(left), peer_->top->pos().y());
}

void Window::Top(std::int64_t top) {
    placed_ = true;
    peer_->top->move(peer_->top->pos().x(), clampToScreenRange(top));
}

void Window::Width(std::int64_t width) {
    const int w = int(std::clamp<std::int64_t>(width, 1, 32000));
    if (peer_->layout->sizeConstraint() == QLayout::SetFixedSize)
        peer_->content->setFixedWidth(w);
    else
        peer_->content->resize(w, peer_->content->height());
    peer_->layout->activate();
}

std::string Window::Title() const {
    return toStdString(peer_->top->windowTitle());
}

void Window::MenuBar(planora::MenuBar& bar) {
    menuBar_ = &bar;
    delete peer_->menuBar;
    peer_->menuBar = new QMenuBar(peer_->top);
    peer_->layout->setMenuBar(peer_->menuBar);

    // Entries without text have nothing to show; they stay in the tree but not on screen.
    auto addItems = [this](QMenu* menu, const MenuItem& parent) {
        for (std::size_t i = 0; i < parent.Count(); ++i) {
            const MenuItem& item = parent.Item(i);
            if (!item.Visible || item.Text.empty())
                continue;
            if (item.Text == "-") {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(toQString(item.Text));
            action->setObjectName(toQString(item.Name));
            if (!item.Shortcut.empty())
                action->setShortcut(keySequence(item.Shortcut));
            action->setMenuRole(item.role() == MenuItem::Role::Quit    ? QAction::QuitRole
                                : item.role() == MenuItem::Role::About ? QAction::AboutRole
                                                                       : QAction::NoRole);
            std::string name = item.Name;
            QObject::connect(action, &QAction::triggered, peer_->top,
                             [this, name] { runGuarded([&] { chooseMenuItem(name); }); });
        }
    };
    for (std::size_t i = 0; i < bar.Count(); ++i) {
        const MenuItem& top = bar.Item(i);
        if (!top.Visible || top.Text.empty())
            continue;
        QMenu* menu = peer_->menuBar->addMenu(toQString(top.Text));
        menu->setObjectName(toQString(top.Name));
        addItems(menu, top);
    }
}

bool Window::chooseMenuItem(std::string_view itemName) {
    for (auto& [name, handler] : menuHandlers_)
        if (name == itemName) {
            handler();
            return true;
        }
    return false;
}

bool Window::hasMenuHandler(std::string_view itemName) const {
    return std::any_of(menuHandlers_.begin(), menuHandlers_.end(),
                       [&](const auto& entry) { return entry.first == itemName; });
}

} // namespace planora
