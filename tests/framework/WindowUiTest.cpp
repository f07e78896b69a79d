// The main window's services under hostile sizes and memory, and its status bar.

#include "framework/ui/Window.h"

#include "support/UiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace fw;

namespace {

constexpr rlim_t kMiB = 1024 * 1024;

// A view that keeps an image of its client size, as the list view does.
class ImageView : public CViewWnd {
public:
    CDC image;
    int failures = 0;

protected:
    void OnSize(int width, int height) override { failures += image.Create(width, height) ? 0 : 1; }
};

QMainWindow* MainWindow() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<QMainWindow*>(top); window && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

TEST(OffscreenImage, SidesAreCutToTheCap) {
    CDC dc;
    const std::pair<std::pair<int, int>, std::pair<int, int>> cases[] = {
        {{50000, 3}, {kMaxImageSide, 3}},
        {{7, 2147483647}, {7, kMaxImageSide}},
        {{0, -5}, {1, 1}},
        {{kMaxImageSide, 2}, {kMaxImageSide, 2}},
    };
    for (const auto& [asked, made] : cases) {
        ASSERT_TRUE(dc.Create(asked.first, asked.second));
        EXPECT_EQ(dc.Width(), made.first) << asked.first;
        EXPECT_EQ(dc.Height(), made.second) << asked.second;
    }
}

TEST(OffscreenImage, AFailedAllocationKeepsTheImageThereWas) {
    CDC dc;
    ASSERT_TRUE(dc.Create(30, 20));
    dc.FillSolidRect(0, 0, 30, 20, Rgb{1, 2, 3});
    bool made = true;
    {
        testing_support::MemoryLimit limit(64 * kMiB); // the image needs 256 MiB
        made = dc.Create(kMaxImageSide, kMaxImageSide);
    }
    EXPECT_FALSE(made);
    EXPECT_EQ(dc.Width(), 30);
    EXPECT_EQ(dc.Height(), 20);
    EXPECT_EQ(dc.GetPixel(29, 19).b, 3);
}

TEST(FrameWindow, AHugeClientAreaIsCutToTheCap) {
    testing_support::EnsureApplication();
    ImageView view;
    CFrameWnd frame;
    frame.Create("frame", 400, 300, {}, view, "ﾚﾃﾞｨ", {});
    frame.Show();
    frame.SetClientSize(50000, 200);
    QApplication::processEvents();
    EXPECT_LE(view.ClientWidth(), kMaxImageSide);
    EXPECT_GT(view.ClientWidth(), 4000);
    EXPECT_EQ(view.image.Width(), view.ClientWidth());
    EXPECT_LE(MainWindow()->width(), kMaxImageSide);
    EXPECT_EQ(view.failures, 0);
}

// Pointing at a menu item clears the status bar's message (the item has no tip); the idle text
// must come back, and so it must after any other message.
TEST(FrameWindow, StatusBarReturnsToTheIdleTextAfterAMenu) {
    testing_support::EnsureApplication();
    ImageView view;
    CFrameWnd frame;
    const std::vector<MenuSpec> menus = {{"ﾌｧｲﾙ(&F)", {{57665, "強制終了(&X)"}}}};
    frame.Create("frame", 400, 300, menus, view, "ﾚﾃﾞｨ", {"CAP"});
    frame.Show();
    QMainWindow* window = MainWindow();
    ASSERT_NE(window, nullptr);
    QStatusBar* bar = window->statusBar();
    const QString idle = QString::fromUtf8("ﾚﾃﾞｨ");
    EXPECT_EQ(bar->currentMessage(), idle);

    QMenu* menu = window->menuBar()->actions().front()->menu();
    menu->popup(QPoint(0, 0));
    QApplication::processEvents();
    menu->actions().front()->hover();
    QApplication::processEvents();
    EXPECT_EQ(bar->currentMessage(), idle);
    menu->hide();

    bar->showMessage(QStringLiteral("保存中"), 5);
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("保存中"));
    QTest::qWait(30);
    EXPECT_EQ(bar->currentMessage(), idle);
}

} // namespace
