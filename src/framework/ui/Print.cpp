// The printed list: its pages laid out on the printer's page and drawn the same way for the
// printer, the print preview and a PDF file.

#include "framework/ui/Window.h"

#include "framework/ui/DialogImpl.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPageLayout>
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
        : m_list(list), m_page(page), m_font(detail::dialogFont().family()), m_title(m_font) {
        m_font.setPointSizeF(kListPointSize);
        m_title.setPointSizeF(kTitlePointSize);
        m_title.setBold(true);
        const QFontMetricsF metrics(m_font, &device);
        m_ascent = metrics.ascent();
        m_row = metrics.height() * kRowSpacing;
        m_titleRow = QFontMetricsF(m_title, &device).height() * kRowSpacing;
        placeColumns(metrics);
        const double body = page.height() - 2 * m_row; // the header above, the foot below
        const double first = body - double(list.titleLines.size()) * m_titleRow - m_row / 2;
        m_firstRows = std::max(1, int(first / m_row));
        m_otherRows = std::max(1, int(body / m_row));
    }

    int pageCount() const {
        const qsizetype rows = m_list.rowCount;
        if (rows <= m_firstRows) {
            return 1;
        }
        return int(1 + (rows - m_firstRows + m_otherRows - 1) / m_otherRows);
    }

    void draw(QPainter& p, int pageIndex) const {
        double y = m_page.top();
        if (pageIndex == 0) {
            p.setFont(m_title);
            for (const CString& line : m_list.titleLines) {
                p.drawText(QPointF(m_page.left(), y + m_titleRow * 0.7), shown(line));
                y += m_titleRow;
            }
            y += m_row / 2;
        }
        p.setFont(m_font);
        drawRow(p, y, m_list.headers);
        y += m_row;
        p.drawLine(QPointF(m_page.left(), y - m_row * 0.15),
                   QPointF(m_page.right(), y - m_row * 0.15));
        const qsizetype first =
            pageIndex == 0 ? 0 : m_firstRows + qsizetype(pageIndex - 1) * m_otherRows;
        const qsizetype last = std::min<qsizetype>(
            qsizetype(m_list.rowCount), first + (pageIndex == 0 ? m_firstRows : m_otherRows));
        for (qsizetype i = first; i < last; ++i) {
            drawRow(p, y, m_list.rowAt ? m_list.rowAt(int(i)) : std::vector<CString>{});
            y += m_row;
        }
        const double foot = m_page.bottom() - m_row + m_ascent;
        p.drawText(QPointF(m_page.left(), foot), shown(m_list.footer));
        const QString number = QStringLiteral("%1 / %2").arg(pageIndex + 1).arg(pageCount());
        p.drawText(QRectF(m_page.left(), m_page.bottom() - m_row, m_page.width(), m_row),
                   Qt::AlignRight | Qt::AlignTop, number);
    }

private:
    // Each column gets its share of the page width by its width in characters.
    void placeColumns(const QFontMetricsF& metrics) {
        double total = 0;
        for (int w : m_list.widths) {
            total += std::max(w, 1);
        }
        const double gap = metrics.horizontalAdvance(QLatin1Char(' '));
        double x = m_page.left();
        for (int w : m_list.widths) {
            const double width = total > 0 ? m_page.width() * std::max(w, 1) / total : 0;
            m_columns.push_back({x, std::max(width - gap, 1.0)});
            x += width;
        }
    }

    void drawRow(QPainter& p, double top, const std::vector<CString>& cells) const {
        const QFontMetricsF metrics(p.font(), p.device());
        for (std::size_t c = 0; c < cells.size() && c < m_columns.size(); ++c) {
            const QString text =
                metrics.elidedText(shown(cells[c]), Qt::ElideRight, m_columns[c].width);
            p.drawText(QPointF(m_columns[c].x, top + m_ascent), text);
        }
    }

    struct Column {
        double x;
        double width;
    };
    const PrintedList& m_list;
    QRect m_page;
    QFont m_font;
    QFont m_title;
    double m_ascent = 0;
    double m_row = 1;
    double m_titleRow = 1;
    std::vector<Column> m_columns;
    int m_firstRows = 1;
    int m_otherRows = 1;
};

// Draws every page onto the printer; false when the printer could not be opened.
bool printPages(const PrintedList& list, QPrinter& printer) {
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
        if (n > from) {
            printer.newPage();
        }
        pages.draw(p, n - 1);
    }
    return p.end();
}

} // namespace

bool PrintList(const PrintedList& list, bool preview) {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    if (preview) {
        QPrintPreviewDialog dialog(&printer, QApplication::activeWindow());
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                         [&list](QPrinter* target) { printPages(list, *target); });
        return dialog.exec() == QDialog::Accepted;
    }
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    return printPages(list, printer);
}

bool PrintListToPdf(const PrintedList& list, const std::string& path, std::string& error) {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(path));
    if (!printPages(list, printer)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace fw
