// The printed list: its pages laid out on the printer's page and drawn the same way for the
// printer, the print preview and a PDF file.

#include "framework/ui/Window.h"

#include "framework/TextFit.h"
#include "framework/ui/DialogImpl.h"
#include "framework/ui/ProgressDialog.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace fw {
namespace {

constexpr double kMarginMm = 15;
constexpr double kListPointSize = 9;
constexpr double kTitlePointSize = 11;
constexpr double kRowSpacing = 1.45; // rows' pitch, in lines of the font
// A line of the head (the criteria) may wrap to this many lines before it is cut.
constexpr int kHeadLineWraps = 3;

void preparePrinter(QPrinter& printer) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                      QPageLayout::Millimeter));
    printer.setDocName(QStringLiteral("vora"));
}

QString shown(const CString& text) {
    return QString::fromStdString(text.ToUtf8());
}

// Where everything of the printed list lies, in the printer's pixels.
class ListPages {
public:
    ListPages(const PrintedList& list, QPaintDevice& device, QRect page)
        : m_list(list), m_page(page), m_font(fontOf(kListPointSize, false)),
          m_title(fontOf(kTitlePointSize, true)), m_metrics(m_font, &device),
          m_titleMetrics(m_title, &device) {
        m_ascent = m_metrics.ascent();
        m_row = m_metrics.height() * kRowSpacing;
        m_titleRow = m_titleMetrics.height() * kRowSpacing;
        m_gap = m_metrics.horizontalAdvance(QStringLiteral("  "));
        for (const CString& line : list.headLines) {
            for (CString& part : WrapText(line, page.width(), titleMeasure(), kHeadLineWraps)) {
                m_headLines.push_back(std::move(part));
            }
        }
        // Above the rows the title, half a row of space and the column headers; below them half
        // a row of space and the foot.
        const double body = page.height() - m_titleRow - m_row / 2 - m_row - m_row / 2 - m_row;
        m_otherRows = std::max(1, int(body / m_row));
        m_firstRows = std::max(1, int((body - double(m_headLines.size()) * m_titleRow) / m_row));
    }

    int pageCount() const {
        const qsizetype rows = m_list.rowCount;
        if (rows <= m_firstRows) {
            return 1;
        }
        return int(1 + (rows - m_firstRows + m_otherRows - 1) / m_otherRows);
    }

    void draw(QPainter& p, int pageIndex) const {
        const std::vector<std::vector<CString>> rows = rowsOf(pageIndex);
        const std::vector<Column> columns = placeColumns(rows);
        double y = m_page.top();
        drawTitle(p, y, pageIndex);
        y += m_titleRow;
        if (pageIndex == 0) {
            for (const CString& line : m_headLines) {
                p.drawText(QPointF(m_page.left(), y + m_titleRow * 0.7), shown(line));
                y += m_titleRow;
            }
        }
        y += m_row / 2;
        p.setFont(m_font);
        drawRow(p, y, columns, m_list.headers);
        y += m_row;
        p.drawLine(QPointF(m_page.left(), y - m_row * 0.15),
                   QPointF(m_page.left() + m_page.width(), y - m_row * 0.15));
        for (const std::vector<CString>& cells : rows) {
            drawRow(p, y, columns, cells);
            y += m_row;
        }
        const double foot = m_page.bottom() - m_row + m_ascent;
        p.drawText(QPointF(m_page.left(), foot),
                   shown(FitText(m_list.footer, m_page.width(), listMeasure())));
    }

private:
    struct Column {
        double x;
        double width; // of its text, the gap to the next column left out
    };

    static QFont fontOf(double pointSize, bool bold) {
        QFont font(detail::dialogFont().family());
        font.setPointSizeF(pointSize);
        font.setBold(bold);
        return font;
    }

    TextMeasure listMeasure() const {
        return [this](const CString& text) { return m_metrics.horizontalAdvance(shown(text)); };
    }
    TextMeasure titleMeasure() const {
        return
            [this](const CString& text) { return m_titleMetrics.horizontalAdvance(shown(text)); };
    }

    std::vector<std::vector<CString>> rowsOf(int pageIndex) const {
        const qsizetype first =
            pageIndex == 0 ? 0 : m_firstRows + qsizetype(pageIndex - 1) * m_otherRows;
        const qsizetype last = std::min<qsizetype>(
            qsizetype(m_list.rowCount), first + (pageIndex == 0 ? m_firstRows : m_otherRows));
        std::vector<std::vector<CString>> rows;
        for (qsizetype i = first; i < last; ++i) {
            rows.push_back(m_list.rowAt ? m_list.rowAt(int(i)) : std::vector<CString>{});
        }
        return rows;
    }

    // The title at the left, the page number at the right of the same line.
    void drawTitle(QPainter& p, double top, int pageIndex) const {
        p.setFont(m_title);
        const QString number = QStringLiteral("%1 / %2").arg(pageIndex + 1).arg(pageCount());
        const double numberWidth = m_titleMetrics.horizontalAdvance(number);
        const double baseline = top + m_titleRow * 0.7;
        const CString title =
            FitText(m_list.title, m_page.width() - numberWidth - m_gap, titleMeasure());
        p.drawText(QPointF(m_page.left(), baseline), shown(title));
        p.drawText(QPointF(m_page.left() + m_page.width() - numberWidth, baseline), number);
    }

    // Each column wants the width of its widest text on this page, its header's included, and
    // a gap; the page's width is shared by what they want.
    std::vector<Column> placeColumns(const std::vector<std::vector<CString>>& rows) const {
        const std::size_t count = m_list.headers.size();
        const TextMeasure measure = listMeasure();
        std::vector<double> wanted(count, 0.0);
        auto widen = [&](const std::vector<CString>& cells) {
            for (std::size_t c = 0; c < cells.size() && c < count; ++c) {
                wanted[c] = std::max(wanted[c], measure(cells[c]));
            }
        };
        widen(m_list.headers);
        for (const std::vector<CString>& cells : rows) {
            widen(cells);
        }
        for (double& w : wanted) {
            w += m_gap;
        }
        const std::vector<double> widths = ShareWidth(wanted, m_page.width());
        std::vector<Column> columns;
        double x = m_page.left();
        for (double w : widths) {
            columns.push_back({x, std::max(w - m_gap, 0.0)});
            x += w;
        }
        return columns;
    }

    void drawRow(QPainter& p, double top, const std::vector<Column>& columns,
                 const std::vector<CString>& cells) const {
        const TextMeasure measure = listMeasure();
        for (std::size_t c = 0; c < cells.size() && c < columns.size(); ++c) {
            const CString text = FitText(cells[c], columns[c].width, measure);
            p.drawText(QPointF(columns[c].x, top + m_ascent), shown(text));
        }
    }

    const PrintedList& m_list;
    QRect m_page;
    QFont m_font;
    QFont m_title;
    QFontMetricsF m_metrics;
    QFontMetricsF m_titleMetrics;
    double m_ascent = 0;
    double m_row = 1;
    double m_titleRow = 1;
    double m_gap = 0;
    std::vector<CString> m_headLines; // as wrapped to the page
    int m_firstRows = 1;
    int m_otherRows = 1;
};

// Draws every page onto the printer; false when the printer could not be opened.
// Draws every page onto the printer; false when the printer could not be opened, or when
// progress was cancelled: a print job is then abandoned, and a preview shows the pages drawn
// so far.
bool printPages(const PrintedList& list, QPrinter& printer, Progress& progress = Progress::None()) {
    QPainter p;
    if (!p.begin(&printer)) {
        return false;
    }
    const QRect page(QPoint(0, 0),
                     printer.pageLayout().paintRectPixels(printer.resolution()).size());
    const ListPages pages(list, printer, page);
    const int count = pages.pageCount();
    // A range chosen in the print dialog prints those pages only.
    const int from = printer.fromPage() > 0 ? std::min(printer.fromPage(), count) : 1;
    const int to = printer.toPage() > 0 ? std::min(printer.toPage(), count) : count;
    for (int n = from; n <= to; ++n) {
        if (!progress.Report(std::uint64_t(n - from), std::uint64_t(to - from + 1))) {
            // A preview's pages are pictures, which it goes on showing.
            if (printer.paintEngine()->type() != QPaintEngine::Picture) {
                printer.abort();
            }
            p.end();
            return false;
        }
        if (n > from) {
            printer.newPage();
        }
        pages.draw(p, n - 1);
    }
    return p.end();
}

// The pages of a long list take a while (a million rows are some 17,000 pages): they are
// drawn on a thread of their own with a bar and キャンセル, while the windows go on.
bool printPagesShowingProgress(const PrintedList& list, QPrinter& printer) {
    const bool preview = printer.paintEngine()->type() == QPaintEngine::Picture;
    bool printed = false;
    RunWithProgress(preview ? "印刷プレビューを作成しています…"_sj : "印刷しています…"_sj,
                    [&](Progress& progress) { printed = printPages(list, printer, progress); });
    return printed;
}

} // namespace

bool PrintList(const PrintedList& list, bool preview) {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    if (preview) {
        QPrintPreviewDialog dialog(&printer, QApplication::activeWindow());
        // Also when the preview prints, the pages being drawn onto the printer then. While
        // they are drawn the preview must not paint: the pages it shows are the ones being
        // replaced.
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                         [&list, &dialog](QPrinter* target) {
                             dialog.setUpdatesEnabled(false);
                             printPagesShowingProgress(list, *target);
                             dialog.setUpdatesEnabled(true);
                         });
        return dialog.exec() == QDialog::Accepted;
    }
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    return printPagesShowingProgress(list, printer);
}

bool PrintListToPdf(const PrintedList& list, const std::string& path, std::string& error) {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(path));
    // As the printer would: a long list shows its bar, and キャンセル leaves no file.
    if (!printPagesShowingProgress(list, printer)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace fw
