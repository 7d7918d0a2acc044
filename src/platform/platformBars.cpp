// platformBars.cpp -- the menu bar and the status bar of the main window.
//
// The program keeps the marks itself and sets them here; Qt's own toggling
// of a checkable item when it is clicked is overwritten by the command that
// follows. A command is queued to the main loop, so it runs after its menu
// has closed (an "&Open" script may run for a long time).
// In a normal window the drawing area keeps its size when a bar comes or
// goes: the window grows or shrinks around it. Main thread only.
#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "platform/platform.h"
#include "platform/qtShell.h"

namespace {

// Height the attached bars take from the window at the given width.
int barsHeight(int width) {
    int height = 0;
    if (shell.menuBar && shell.menuBarAttached) {
        int menuHeight = shell.menuBar->heightForWidth(width);
        height += menuHeight > 0 ? menuHeight : shell.menuBar->sizeHint().height();
    }
    if (shell.statusBar) {
        height += shell.statusBar->sizeHint().expandedTo(shell.statusBar->minimumSize()).height();
    }
    return height;
}

bool isNormalWindow() {
    if (!shell.mainWindow || shell.fullScreen) return false;
    return !(shell.mainWindow->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
}

// Runs a change of the bars and resizes a normal window so that the drawing
// area stays as large as it was.
template <typename Change>
void changeBars(Change change) {
    if (!isNormalWindow()) {
        change();
        return;
    }
    QSize window = shell.mainWindow->size();
    int before = barsHeight(window.width());
    change();
    int after = barsHeight(window.width());
    if (after != before) {
        shell.barsTargetSize = QSize(window.width(), window.height() - before + after);
        shell.mainWindow->resize(shell.barsTargetSize);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Menu bar.

void platformClearMenuBar() {
    if (!shell.mainWindow) return;
    changeBars([] {
        if (shell.menuBar) {
            shell.menuBar->hide();
            shell.menuBar->deleteLater();
        }
        shell.menuBar = new QMenuBar(shell.mainWindow);
        shell.menuBar->hide();
        shell.mainWindow->setMenuBar(shell.menuBar);
        shell.menuBarAttached = false;
    });
    shell.currentMenu = nullptr;
    shell.menuActions.clear();
    shell.radioGroups.clear();
}

void platformAddMenu(const char* title) {
    if (!shell.menuBar) return;
    shell.currentMenu = shell.menuBar->addMenu(QString::fromUtf8(title));
}

void platformAddMenuItem(int identifier, const char* text, int radioGroup) {
    if (!shell.currentMenu) return;
    QAction* action = shell.currentMenu->addAction(QString::fromUtf8(text));
    // Also an action of the window, so that its menu works whichever widget
    // has the keyboard.
    shell.mainWindow->addAction(action);
    if (radioGroup != 0) {
        QActionGroup*& group = shell.radioGroups[radioGroup];
        if (!group) {
            group = new QActionGroup(shell.menuBar);
            group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
        }
        group->addAction(action);
    }
    shell.menuActions[identifier] = action;
    QObject::connect(
        action, &QAction::triggered, shell.relay, [identifier] { deliverMessage(messageCommand, identifier); },
        Qt::QueuedConnection);
}

void platformSetMenuItemChecked(int identifier, bool checked) {
    auto found = shell.menuActions.find(identifier);
    if (found == shell.menuActions.end()) return;
    // Only a marked item is checkable, so unmarked items show no empty box.
    found->second->setCheckable(checked);
    found->second->setChecked(checked);
}

void platformSetMenuBarAttached(bool attached) {
    if (!shell.menuBar || shell.menuBarAttached == attached) return;
    changeBars([attached] {
        shell.menuBar->setVisible(attached);
        shell.menuBarAttached = attached;
    });
}

bool platformBarsSettled() {
    if (!shell.mainWindow || !shell.barsTargetSize.isValid()) return true;
    if (!isNormalWindow() || shell.mainWindow->size() == shell.barsTargetSize) {
        shell.barsTargetSize = QSize();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Status bar.

void platformCreateStatusBar() {
    if (!shell.mainWindow || shell.statusBar) return;
    changeBars([] {
        shell.statusBar = new QStatusBar;
        shell.statusBar->setObjectName(QStringLiteral("statusBar"));
        shell.statusLabel = new QLabel(shell.statusBar);
        shell.statusBar->addWidget(shell.statusLabel, 1);
        shell.mainWindow->setStatusBar(shell.statusBar);
    });
}

void platformDestroyStatusBar() {
    if (!shell.mainWindow || !shell.statusBar) return;
    changeBars([] {
        shell.mainWindow->setStatusBar(nullptr);  // hides it and deletes it later
        shell.statusBar = nullptr;
        shell.statusLabel = nullptr;
    });
}

int platformStatusBarHeight() {
    if (!shell.statusBar) return 0;
    return shell.statusBar->sizeHint().expandedTo(shell.statusBar->minimumSize()).height();
}

void platformSetStatusBarText(const char* text) {
    if (shell.statusLabel) shell.statusLabel->setText(QString::fromUtf8(text ? text : ""));
}
