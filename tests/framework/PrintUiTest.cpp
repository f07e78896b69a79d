// The printed list as its reader gets it: the pages of a PDF written with the page drawing the
// printer and the preview use, read back as text; and Qt's own print dialog in Japanese.

#include "framework/ui/Window.h"

#include "framework/ui/ProgressDialog.h"

#include "support/TempDir.h"
#include "support/UiTestSupport.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

CString sj(const std::string& utf8) {
    CString text;
    CString::FromUtf8(utf8, text);
    return text;
}

std::vector<std::string> pagesOf(const std::string& text) {
    std::vector<std::string> pages;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\f', start)) != std::string::npos; start = end + 1) {
        pages.push_back(text.substr(start, end - start));
    }
    return pages;
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

} // namespace

// 100 rows fill three A4 pages: every row is printed once, in the list's order, under the
// column headers that head each page, with the title on the first page and the date and page
// number at the foot of each.
TEST(PrintedList, EveryRowOnceInOrderWithHeadersOnEachPage) {
    fw::PrintedList list;
    list.titleLines = {sj("症例一覧（100 件）"), sj("表示期間 指定無し ～ 指定無し"),
                       sj("絞り込み なし")};
    list.headers = {"No.", sj("手術日"), "ID", sj("名前"), sj("年齢"), sj("性別"), sj("疾患")};
    list.widths = {4, 10, 14, 14, 6, 4, 20};
    list.rowCount = 100;
    list.rowAt = [](int row) {
        const int i = row + 1;
        return std::vector<CString>{CString::Formatted("%d", i),
                                    CString::Formatted("2006/4/%d", i % 28 + 1),
                                    CString::Formatted("P%05d", i),
                                    sj("山田") + CString::Formatted("%d", i),
                                    CString::Formatted("%d", i % 90),
                                    sj(i % 2 ? "男" : "女"),
                                    sj("胆石症")};
    };
    list.footer = sj("印刷日 2026/12/9");
    TempDir dir;
    const std::string pdf = dir.Path() + "/list.pdf";
    std::string error;
    ASSERT_TRUE(fw::PrintListToPdf(list, pdf, error)) << error;
    const std::string txt = dir.Path() + "/list.txt";
    ASSERT_EQ(std::system(("pdftotext -layout '" + pdf + "' '" + txt + "'").c_str()), 0);
    const std::string text = ReadFile(txt);

    const std::vector<std::string> pages = pagesOf(text);
    ASSERT_EQ(pages.size(), 3u);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        EXPECT_EQ(occurrences(pages[p], "手術日"), 1u) << "page " << p + 1;
        EXPECT_EQ(occurrences(pages[p], "印刷日 2026/12/9"), 1u) << "page " << p + 1;
        EXPECT_NE(pages[p].find(std::to_string(p + 1) + " / 3"), std::string::npos);
        EXPECT_EQ(occurrences(pages[p], "症例一覧（100 件）"), p == 0 ? 1u : 0u);
    }
    std::size_t at = 0;
    for (int i = 1; i <= 100; ++i) {
        const std::string id = CString::Formatted("P%05d", i).ToUtf8();
        EXPECT_EQ(occurrences(text, id), 1u) << id;
        const std::size_t found = text.find(id);
        EXPECT_TRUE(found != std::string::npos && found >= at) << id << " out of order";
        at = found == std::string::npos ? at : found;
        EXPECT_NE(text.find("山田" + std::to_string(i), found), std::string::npos) << id;
    }
}

TEST(PrintedList, TellsWhenThePdfCannotBeWritten) {
    fw::PrintedList list;
    std::string error;
    EXPECT_FALSE(fw::PrintListToPdf(list, "/nonexistent-folder/list.pdf", error));
    EXPECT_EQ(error, "cannot write /nonexistent-folder/list.pdf");
}

// Qt's own windows speak the program's language once its translations are loaded.
TEST(PrintedList, PrintDialogIsInJapanese) {
    ASSERT_TRUE(fw::LoadQtTranslations());
    QPrinter printer;
    QPrintDialog dialog(&printer);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "印刷");
}

// The pages of a long list are drawn behind the bar, also when the preview draws them anew
// (as a change of the page's orientation has it do), and the preview is not painted while
// the pages it showed are replaced.
TEST(PrintedList, ALongPreviewIsDrawnBehindTheBarAndNotPaintedMeanwhile) {
    testing_support::EnsureApplication();
    fw::PrintedList list;
    list.headers = {"No.", sj("名前")};
    list.widths = {8, 20};
    list.rowCount = 8000;
    list.rowAt = [](int row) {
        // Slow rows, so that drawing them lasts long enough for the bar to show.
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        return std::vector<CString>{CString::Formatted("%d", row + 1), sj("山田太郎")};
    };
    int barsSeen = 0;
    int paintsTried = 0;
    int pages = 0;
    QPrintPreviewWidget* preview = nullptr;
    // Paints the preview whenever the bar is up.
    QTimer painter;
    painter.setInterval(10);
    QObject::connect(&painter, &QTimer::timeout, [&] {
        const fw::CDialog* active = fw::ActiveDialog();
        if (preview && active && active->GetTemplateId() == fw::kProgressDialogId) {
            preview->repaint();
            ++paintsTried;
        }
    });
    painter.start();
    QTimer steps;
    steps.setInterval(20);
    int step = 0;
    QObject::connect(&steps, &QTimer::timeout, [&] {
        const fw::CDialog* active = fw::ActiveDialog();
        if (active && active->GetTemplateId() == fw::kProgressDialogId) {
            ++barsSeen;
            return;
        }
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            return;
        }
        preview = dialog->findChild<QPrintPreviewWidget*>();
        if (step++ == 0) {
            preview->updatePreview(); // the pages drawn again, behind the bar
            return;
        }
        pages = preview->pageCount();
        dialog->reject();
    });
    steps.start();
    fw::PrintList(list, true);
    EXPECT_GT(barsSeen, 0);
    EXPECT_GT(paintsTried, 0);
    EXPECT_GT(pages, 100);
}
