#include "framework/ui/Dialog.h"

#include "framework/ui/DialogImpl.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>

namespace fw {
namespace {

constexpr int kMargin = 10;        // dialog units around the text
constexpr int kMaxTextWidth = 340; // dialog units before the text wraps
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;

struct TextSize {
    int cx;
    int cy;
};

// Where a line may end: after Japanese punctuation, a closing bracket or a space, or before an
// opening bracket. A Japanese word cut in two ("入力されていませ" / "ん") reads as something
// else, so lines break only there, as far as the width allows.
bool endsPhrase(QChar c) {
    static const QString after = QString::fromUtf8("、。，．：）」』】！？ 　,.!?:)");
    return after.contains(c);
}
bool startsPhrase(QChar c) {
    static const QString before = QString::fromUtf8("（「『【(");
    return before.contains(c);
}

// A space, comma, point or colon between two digits belongs to a number: a date and its time,
// a time, a figure with its thousands or decimals.
bool insideNumber(const QString& text, qsizetype at) {
    static const QString joiners = QString::fromUtf8(" ,.:");
    return at > 0 && at + 1 < text.size() && joiners.contains(text[at]) && text[at - 1].isDigit() &&
           text[at + 1].isDigit();
}

} // namespace

namespace detail {

QString brokenIntoLines(const QString& text, const QFontMetrics& metrics, int maxWidth) {
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        QString phrase;
        auto place = [&] {
            if (!line.isEmpty() && metrics.horizontalAdvance(line + phrase) > maxWidth) {
                lines.push_back(line);
                line.clear();
            }
            line += phrase;
            phrase.clear();
        };
        for (qsizetype i = 0; i < paragraph.size(); ++i) {
            const QChar c = paragraph[i];
            if (startsPhrase(c)) {
                place();
            }
            phrase += c;
            if (endsPhrase(c) && !insideNumber(paragraph, i)) {
                place();
            }
        }
        place();
        lines.push_back(line);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace detail

namespace {

QString linesOf(const QString& text) {
    const QFontMetrics metrics(detail::dialogFont());
    return detail::brokenIntoLines(text, metrics, detail::dluToPixelsX(kMaxTextWidth));
}

// The size of the text as broken into lines, in dialog units, with room to spare so that the
// label does not wrap it again.
TextSize measure(const QString& lines) {
    const QFontMetrics metrics(detail::dialogFont());
    const int unitX = std::max(detail::dluToPixelsX(4), 1);
    const int unitY = std::max(detail::dluToPixelsY(8), 1);
    const QRect bounds = metrics.boundingRect(
        QRect(0, 0, detail::dluToPixelsX(kMaxTextWidth), 1 << 20), Qt::TextWordWrap, lines);
    const int cx = (bounds.width() * 4 + unitX - 1) / unitX + 6;
    const int cy = (bounds.height() * 8 + unitY - 1) / unitY + 1;
    return {std::max(cx, kButtonWidth), std::max(cy, 8)};
}

DlgTemplate messageTemplate(const TextSize& size, const char* title) {
    const int cx = size.cx + 2 * kMargin;
    const int buttonY = kMargin + size.cy + 8;
    return DlgTemplate{kMessageDialogId,
                       cx,
                       buttonY + kButtonHeight + 7,
                       title,
                       {
                           {kMessageTextId, CtlKind::Static, kMargin, kMargin, size.cx, size.cy},
                           {kIdOk, CtlKind::Push, (cx - kButtonWidth) / 2, buttonY, kButtonWidth,
                            kButtonHeight, "OK", kDefault},
                       }};
}

class CMessageDlg : public CDialog {
public:
    CMessageDlg(const DlgTemplate& tmpl, const CString& text, QString lines)
        : CDialog(tmpl), m_text(text), m_lines(std::move(lines)) {}

protected:
    bool OnInitDialog() override {
        SetDlgItemText(kMessageTextId, m_text);
        // Shown broken into lines; read back, by a script too, as the text it is.
        detail::Control& label = DialogAccess::impl(*this).get(kMessageTextId);
        static_cast<QLabel*>(label.widget)->setText(m_lines);
        label.writtenShown = m_lines;
        return true;
    }

private:
    CString m_text;
    QString m_lines;
};

} // namespace

void ShowMessage(const CString& text) {
    const std::string title = QApplication::applicationName().toStdString();
    const QString lines = linesOf(detail::shownText(text, true));
    const TextSize size = measure(lines);
    CMessageDlg dialog(messageTemplate(size, title.c_str()), text, lines);
    dialog.DoModal();
}

} // namespace fw
