// The case list as a Japanese desktop and a plain one draw it, with whichever Japanese fonts are
// installed: every date, ID and name lies within its column. CTest runs this under
// ja_JP.UTF-8 and C.UTF-8, with the system's fonts and with each Japanese font set alone
// (FONTCONFIG_FILE naming only that font's folder).

#include "listview/ListLayout.h"
#include "listview/QuellmarkView.h"
#include "support/CaseBuilder.h"
#include "support/UiTestSupport.h"

#include <QApplication>

#include <clocale>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace listview;

struct Row {
    int year, month, day;
    const char* id;
    const char* name;
};

// The widest texts each column can hold: all digits, capital W, full-width letters and
// digits, half-width katakana, kanji; a name longer than its column is cut there.
const Row kRows[] = {
    {2026, 11, 27, "WWWWWWWWWWWWWW", "山田花子山田花子"},
    {2026, 12, 28, "00123456789012", "mmmmmmmmmmmmmm"},
    {2025, 10, 20, "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾ", "ＭＭＭＭＭＭＭＭ"},
    {2024, 12, 31, "００１２３４５６７８", "ﾔﾏﾀﾞﾊﾅｺﾔﾏﾀﾞﾊﾅｺ"},
    {2008, 8, 8, "%%%%@@@@####&&", "＠＠＠＠＠＠＠"},
};

bool isInk(fw::Rgb c) {
    return c.r < 160 && c.g < 160 && c.b < 160;
}

// The rightmost column of ink pixels of row's band in the view's image between x0 and x1, or
// -1 when nothing is drawn there. The first pixel row of the first band is the header's line.
int lastInk(const fw::CDC& image, int row, int x0, int x1) {
    const int top = kListTop + kRowHeight * (row + 1) + 1;
    int last = -1;
    for (int x = x0; x < x1; ++x) {
        for (int y = top; y < top + kRowHeight - 1; ++y) {
            if (isInk(image.GetPixel(x, y))) {
                last = x;
                break;
            }
        }
    }
    return last;
}

// A test run for a locale or a font set that is not there would pass under the defaults.
void expectEnvironment() {
    if (const char* lang = std::getenv("LANG"); lang && *lang) {
        ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr) << "the locale " << lang << " is missing";
    }
    if (const char* dir = std::getenv("VORA_TEST_FONT_DIR"); dir && *dir) {
        ASSERT_TRUE(std::filesystem::is_directory(dir)) << "no fonts in " << dir;
        ASSERT_NE(std::getenv("FONTCONFIG_FILE"), nullptr);
    }
}

TEST(ListFontUiTest, EveryDateIdAndNameStaysWithinItsColumn) {
    expectEnvironment();
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    for (const Row& r : kRows) {
        CCaseRecord c = testing_support::BlankCase(r.name, r.year, r.month, r.day);
        CString id;
        ASSERT_TRUE(CString::FromUtf8(r.id, id));
        c.SetstrId(id);
        doc.AddRecord(c);
    }
    listview::ViewCommands commands;
    commands.login = [](int& generalUser) {
        generalUser = 1;
        return true;
    };
    CQuellmarkView view(doc, std::move(commands));
    fw::CFrameWnd frame;
    frame.Create("vora", 1000, 600, {}, view, "ﾚﾃﾞｨ", {});
    frame.Show();
    view.OnInitialUpdate();
    view.DoLogin();
    QApplication::processEvents();
    // Each measured column is followed by one that stays empty (no case has a supervisor), so
    // that text running out of its column shows as ink where none belongs.
    const int columns[kColumnCount] = {registry::kColDate, registry::kColSupervisor,
                                       registry::kColId,   registry::kColSupervisor,
                                       registry::kColName, registry::kColSupervisor};
    std::copy(std::begin(columns), std::end(columns), view.m_nColumn);
    view.RebuildRows();
    view.RedrawImage();
    ASSERT_EQ(view.GetRowCount(), int(std::size(kRows)));

    const fw::CDC& image = view.GetImage();
    for (int row = 0; row < view.GetRowCount(); ++row) {
        int x = kListLeft + FirstColumnX(0);
        for (int column = 0; column < kColumnCount; column += 2) {
            const int width = ColumnWidth(columns[column]) * kCharWidth;
            const int emptyEnd =
                x + width + kColumnGap + ColumnWidth(columns[column + 1]) * kCharWidth + kColumnGap;
            const std::string text = view.GetCellText(row, column).ToUtf8();
            ASSERT_FALSE(text.empty());
            EXPECT_GE(lastInk(image, row, x, x + width), x) << "nothing drawn of " << text;
            EXPECT_EQ(lastInk(image, row, x + width, emptyEnd), -1)
                << text << " runs out of its column of " << width << " pixels";
            x = emptyEnd;
        }
    }
}

} // namespace
