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

#include <algorithm>
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

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

// The text of the list printed to a PDF, as pdftotext reads it with the page's layout: pages
// end with a form feed, the cells of a row stand on one line.
std::string printedText(const fw::PrintedList& list, const TempDir& dir) {
    const std::string pdf = dir.Path() + "/list.pdf";
    std::string error;
    EXPECT_TRUE(fw::PrintListToPdf(list, pdf, error)) << error;
    const std::string txt = dir.Path() + "/list.txt";
    EXPECT_EQ(std::system(("pdftotext -layout '" + pdf + "' '" + txt + "'").c_str()), 0);
    return ReadFile(txt);
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
// column headers that head each page. Every page starts with the title and its page number on
// one line, the first page with the period and the filter below it; the date of printing is at
// the foot of each.
TEST(PrintedList, EveryRowOnceInOrderWithHeadersOnEachPage) {
    fw::PrintedList list;
    list.title = sj("症例一覧（100 件）");
    list.headLines = {sj("表示期間 指定無し ～ 指定無し"), sj("絞り込み なし")};
    list.headers = {"No.", sj("手術日"), "ID", sj("名前"), sj("年齢"), sj("性別"), sj("疾患")};
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
    const std::string text = printedText(list, dir);

    const std::vector<std::string> pages = pagesOf(text);
    ASSERT_EQ(pages.size(), 3u);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        EXPECT_EQ(occurrences(pages[p], "手術日"), 1u) << "page " << p + 1;
        EXPECT_EQ(occurrences(pages[p], "印刷日 2026/12/9"), 1u) << "page " << p + 1;
        EXPECT_EQ(occurrences(pages[p], "表示期間"), p == 0 ? 1u : 0u) << "page " << p + 1;
        const std::vector<std::string> lines = linesOf(pages[p]);
        const auto title = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find("症例一覧（100 件）") != std::string::npos;
        });
        ASSERT_NE(title, lines.end()) << "page " << p + 1;
        EXPECT_NE(title->find(std::to_string(p + 1) + " / 3"), std::string::npos) << *title;
        EXPECT_EQ(occurrences(pages[p], " / 3"), 1u) << "page " << p + 1;
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

// The page, not the screen's byte widths, decides what a cell shows: department and method
// names wider than their screen columns print whole, and so does every narrow cell beside a
// text too long for any column. That one is cut after a whole character and ends with "…",
// whether it starts on an odd byte (a half-width letter first) or not.
TEST(PrintedList, TextsPrintWholeWhereThePageHasRoomAndCutOnesEndWithEllipsis) {
    std::string longProcedure = "腹腔鏡下";
    for (int i = 0; i < 12; ++i) {
        longProcedure += "幽門側胃切除術";
    }
    const struct {
        const char* department;
        const char* method;
        std::string procedure;
        bool cut;
    } kRows[] = {
        {"整形外科", "全身麻酔＋硬膜外麻酔", "人工骨頭置換術", false},
        {"呼吸器外科", "TIVA＋硬膜外麻酔", "胸腔鏡下肺葉切除術", false},
        {"整形外科", "全身麻酔＋硬膜外麻酔", longProcedure, true},
        {"泌尿器科", "全身麻酔＋硬膜外麻酔", "A" + longProcedure, true},
        {"ﾉｳｹﾞｶ", "脊髄くも膜下麻酔", "ｹｲﾄｳﾃｷ" + longProcedure, true},
    };
    fw::PrintedList list;
    list.title = sj("症例一覧（5 件）");
    list.headers = {"No.",        sj("手術日"), sj("名前"),      sj("手術術式"),
                    sj("担当科"), sj("麻酔法"), sj("第一麻酔医")};
    list.rowCount = int(std::size(kRows));
    list.rowAt = [&kRows](int row) {
        const auto& r = kRows[row];
        return std::vector<CString>{CString::Formatted("%d", row + 1),
                                    CString::Formatted("2026/11/%d", row + 20),
                                    sj("山田") + CString::Formatted("%d", row + 1),
                                    sj(r.procedure),
                                    sj(r.department),
                                    sj(r.method),
                                    sj("青木")};
    };
    TempDir dir;
    const std::vector<std::string> lines = linesOf(printedText(list, dir));

    for (std::size_t row = 0; row < std::size(kRows); ++row) {
        const auto& r = kRows[row];
        const std::string name = "山田" + std::to_string(row + 1);
        const auto line = std::find_if(lines.begin(), lines.end(), [&name](const std::string& l) {
            return l.find(name) != std::string::npos;
        });
        ASSERT_NE(line, lines.end()) << name;
        for (const std::string& whole :
             {std::string(r.department), std::string(r.method),
              std::string("2026/11/" + std::to_string(row + 20)), std::string("青木")}) {
            const std::size_t at = line->find(" " + whole);
            const std::size_t after = at + 1 + whole.size();
            EXPECT_TRUE(at != std::string::npos &&
                        (after == line->size() || line->at(after) == ' '))
                << whole << " cut in: " << *line;
        }
        const std::size_t start = line->find(r.procedure.substr(0, 4));
        ASSERT_NE(start, std::string::npos) << *line;
        const std::size_t end = line->find(' ', start);
        const std::string shown = line->substr(start, end - start);
        if (!r.cut) {
            EXPECT_EQ(shown, r.procedure);
            continue;
        }
        // What is shown is the text's start, whole characters, then the mark; the column
        // the long text takes is the page's room the others leave, not a screen's 20 bytes.
        const std::string mark = "…";
        ASSERT_GT(shown.size(), mark.size()) << *line;
        ASSERT_EQ(shown.substr(shown.size() - mark.size()), mark) << *line;
        const std::string start_of = shown.substr(0, shown.size() - mark.size());
        EXPECT_EQ(r.procedure.compare(0, start_of.size(), start_of), 0) << *line;
        EXPECT_GT(sj(start_of).GetLength(), 30) << *line;
    }
}

// The criteria of a list filtered many ways are longer than the page is wide: they go on over
// the next lines, every criterion printed.
TEST(PrintedList, LongCriteriaWrapOverLinesAndLoseNothing) {
    std::string criteria = "絞り込み ";
    for (int i = 1; i <= 20; ++i) {
        criteria += (i > 1 ? "、病棟" : "病棟") + std::to_string(100 + i);
    }
    fw::PrintedList list;
    list.title = sj("症例一覧（1 件）");
    list.headLines = {sj("表示期間 指定無し ～ 指定無し"), sj(criteria)};
    list.headers = {"No.", sj("名前")};
    list.rowCount = 1;
    list.rowAt = [](int) { return std::vector<CString>{"1", sj("山田花子")}; };
    TempDir dir;
    const std::string text = printedText(list, dir);
    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(occurrences(text, "病棟" + std::to_string(100 + i)), 1u) << i;
    }
    EXPECT_EQ(occurrences(text, "…"), 0u);
    EXPECT_NE(text.find("山田花子"), std::string::npos);
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
