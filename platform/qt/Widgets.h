#pragma once

// The Qt widgets behind windows and controls. Included only by the platform's .cpp files.

#include "platform/Controls.h"
#include "platform/Window.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>
#include <map>

namespace planora {

struct Control::Peer {
    QPointer<QWidget> widget;
};

// The top-level widget of a window: the menu bar (where the platform shows it in the window)
// above the content area in which the controls lie.
class TopLevelWidget : public QWidget {
    Q_OBJECT

public:
    explicit TopLevelWidget(Window* owner) : owner_(owner) {}
    void detach() { owner_ = nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Window* owner_;
};

struct Window::Peer {
    TopLevelWidget* top = nullptr; // owns every widget of the window
    QWidget* content = nullptr;
    QVBoxLayout* layout = nullptr;
    QMenuBar* menuBar = nullptr;
    std::map<std::string, QButtonGroup*, std::less<>> radioGroups;
    bool visibleByLayout = true;
};

} // namespace planora
