// PlatformShellTest.cpp -- the Qt side of the shell on Qt's offscreen
// platform (no display): the menu bar mirrors the program's menu tree and
// marks, the bars come and go, and the cursor is safe to set from another
// thread while the warp's own move is not counted as the user's.
#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include "app/input.h"
#include "app/menus.h"
#include "app/statusBar.h"
#include "platform/platform.h"
#include "platform/qtShell.h"
#include "scene/sceneConfig.h"
#include "util/output.h"

namespace {

class PlatformShell : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        windowOpened = platformCreateMainWindow("Shell test", 320, 240, false, "Quellwick");
    }
    void SetUp() override {
        if (!windowOpened) GTEST_SKIP() << "Qt's offscreen platform is not available";
        menusHidden = 0;
        anonymousMode = 0;
        buildMenus();
        createStatusBar();
    }
    static QMainWindow* mainWindow() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == "Quellwick") return qobject_cast<QMainWindow*>(widget);
        }
        return nullptr;
    }
    static void pump() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    static bool windowOpened;
};
bool PlatformShell::windowOpened = false;

}  // namespace

TEST_F(PlatformShell, MenuBarShowsTheTreeWithItsMarks) {
    QMainWindow* window = mainWindow();
    ASSERT_NE(window, nullptr) << "the main window carries the class name as its object name";
    QMenuBar* bar = window->menuBar();
    const std::vector<MenuRecord>& tree = menuBarTree();
    ASSERT_EQ(bar->actions().size(), static_cast<qsizetype>(tree.size()));
    for (size_t m = 0; m < tree.size(); ++m) {
        QAction* menuAction = bar->actions()[static_cast<qsizetype>(m)];
        EXPECT_EQ(menuAction->text().toStdString(), tree[m].title);
        QList<QAction*> items = menuAction->menu()->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(tree[m].items.size())) << tree[m].title;
        for (size_t i = 0; i < tree[m].items.size(); ++i) {
            const MenuItemRecord& record = tree[m].items[i];
            QAction* item = items[static_cast<qsizetype>(i)];
            EXPECT_EQ(item->text().toStdString(), record.text);
            EXPECT_EQ(item->isChecked(), record.checked) << record.text;
            bool radio = item->actionGroup() && item->actionGroup()->isExclusive();
            EXPECT_EQ(radio, record.radioGroup != 0) << record.text;
        }
    }
}

TEST_F(PlatformShell, MarksFollowCommandsAndHiddenBarsKeepTheDrawingArea) {
    QMainWindow* window = mainWindow();
    ASSERT_NE(window, nullptr);
    onCommand(601);
    onCommand(507);
    pump();
    auto itemChecked = [window](const char* text) {
        for (QAction* menu : window->menuBar()->actions())
            for (QAction* item : menu->menu()->actions())
                if (item->text() == QString::fromUtf8(text)) return item->isChecked();
        return false;
    };
    EXPECT_TRUE(itemChecked("&Geomipmapping"));
    EXPECT_FALSE(itemChecked("&Sky Box"));
    int width = 0, height = 0;
    platformGetClientSize(width, height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);

    hideMenus();
    pump();
    EXPECT_TRUE(window->menuBar()->isHidden());
    for (QStatusBar* bar : window->findChildren<QStatusBar*>()) EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(statusBarHeight(), 0);
    platformGetClientSize(width, height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240) << "the window shrinks around the drawing area";
    EXPECT_EQ(window->height(), 240);

    showMenus();
    pump();
    EXPECT_FALSE(window->menuBar()->isHidden());
    EXPECT_GT(statusBarHeight(), 0);
    platformGetClientSize(width, height);
    EXPECT_EQ(height, 240);
    EXPECT_GT(window->height(), 240);
}

TEST_F(PlatformShell, CursorSetFromAnotherThreadIsSeenAtOnceAndMovesTheRealCursor) {
    std::thread mover([] { platformSetCursorPos(100, 200); });
    mover.join();
    int x = 0, y = 0;
    platformGetCursorPos(x, y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 200);
    pump();
    EXPECT_EQ(QCursor::pos(), QPoint(100, 200)) << "the main thread moved the real cursor";

    // The user moves 2 right before the warp to (50, 50) reaches the screen;
    // then the warp's own move arrives; then the user moves 5 right.
    trackCursorMove(10, 10);
    trackCursorMove(10, 10);
    platformSetCursorPos(50, 50);
    trackCursorMove(12, 10);
    platformGetCursorPos(x, y);
    EXPECT_EQ(x, 52);
    EXPECT_EQ(y, 50);
    trackCursorMove(50, 50);
    platformGetCursorPos(x, y);
    EXPECT_EQ(x, 52) << "the warp's own move is not the user's";
    trackCursorMove(55, 50);
    platformGetCursorPos(x, y);
    EXPECT_EQ(x, 57);
    EXPECT_EQ(y, 50);
}

TEST_F(PlatformShell, ConsoleShowsLinesPrintedOnAnyThreadFromItsOpeningOn) {
    outputText("before the console\n");
    createDebugConsole();
    createDebugConsole();  // replaces the first: still one console
    testing::internal::CaptureStdout();
    outputText("main thread line\n");
    std::thread printer([] { outputPrintf("thread line %d\n", 7); });
    printer.join();
    pump();
    testing::internal::GetCapturedStdout();
    int consoles = 0;
    QString text;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* console = qobject_cast<QPlainTextEdit*>(widget);
        if (console && console->isVisible() && console->windowTitle() == "Console") {
            ++consoles;
            text = console->toPlainText();
        }
    }
    EXPECT_EQ(consoles, 1);
    EXPECT_EQ(text.toStdString(), "main thread line\nthread line 7\n");
    releaseDebugConsole();
}

QPlainTextEdit* shownConsole() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* console = qobject_cast<QPlainTextEdit*>(widget);
        if (console && console->isVisible() && console->windowTitle() == "Console") return console;
    }
    return nullptr;
}

// The last line printed stays in view, also after lines wider than the
// window (which bring in the horizontal bar); a user who scrolled up is
// left there until scrolling back to the end.
TEST_F(PlatformShell, ConsoleKeepsItsLastLineInViewWhateverTheLineWidths) {
    createDebugConsole();
    QPlainTextEdit* console = shownConsole();
    ASSERT_NE(console, nullptr);
    QScrollBar* bar = console->verticalScrollBar();
    testing::internal::CaptureStdout();
    auto lastLineShown = [&] {
        pump();
        // The text ends with a line end: the last line is the block before the empty one.
        QTextCursor last(console->document()->lastBlock().previous());
        QRect place = console->cursorRect(last);
        return bar->value() == bar->maximum() && place.top() >= 0 && place.bottom() <= console->viewport()->height();
    };
    for (int i = 0; i < 100; ++i) outputPrintf("short line %d\n", i);
    EXPECT_TRUE(lastLineShown());
    outputText((std::string(2000, 'w') + "\n").c_str());  // like a row of the terrain error table
    for (int i = 0; i < 30; ++i) {
        outputPrintf("after the wide line %d\n", i);
        EXPECT_TRUE(lastLineShown()) << i;
    }
    for (int i = 0; i < 3; ++i) outputText((std::string(3000 + i, 'x') + "\n").c_str());
    outputText("error: the script failed\n");
    EXPECT_TRUE(lastLineShown());

    bar->triggerAction(QAbstractSlider::SliderPageStepSub);  // the user scrolls up
    int kept = bar->value();
    outputText("while reading back\n");
    pump();
    EXPECT_EQ(bar->value(), kept);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    outputText("following again\n");
    EXPECT_TRUE(lastLineShown());
    testing::internal::GetCapturedStdout();
    releaseDebugConsole();
}

// A step of the loop is spent only on what reaches the window procedure:
// the repaints that printed lines, status text and titles cause are done
// in the same step, which stays free for a frame.
TEST_F(PlatformShell, ConsoleStatusAndTitleRepaintsLeaveTheStepIdle) {
    QMainWindow* window = mainWindow();
    ASSERT_NE(window, nullptr);
    createDebugConsole();
    int quitCode = 0;
    auto settle = [&quitCode] {
        for (int i = 0; i < 50 && platformPollEvents(quitCode) != platformPollIdle; ++i) {
        }
    };
    settle();
    struct Case {
        const char* label;
        void (*change)(int i);
    } cases[] = {
        {"a printed line", [](int i) { outputPrintf("POS %d 0 %d\n", i, i); }},
        {"status text", [](int i) { platformSetStatusBarText(std::to_string(i).c_str()); }},
        {"title", [](int i) { platformSetTitle(("ROAM " + std::to_string(i)).c_str()); }},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 5; ++i) {
            c.change(i);
            EXPECT_EQ(platformPollEvents(quitCode), platformPollIdle) << c.label << " " << i;
        }
    }

    // A key for the window procedure still takes its step.
    static int keysSeen = 0;
    keysSeen = 0;
    platformSetWindowProcedure([](int message, int, int, int) {
        if (message == messageKeyDown) ++keysSeen;
        return 0;
    });
    QCoreApplication::postEvent(window->windowHandle(), new QKeyEvent(QEvent::KeyPress, Qt::Key_W, Qt::NoModifier));
    EXPECT_EQ(platformPollEvents(quitCode), platformPollHandled);
    EXPECT_EQ(keysSeen, 1);
    platformSetWindowProcedure(nullptr);
    releaseDebugConsole();
}
