#include "framework/Codec.h"
#include "framework/ui/DialogImpl.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStringView>
#include <QToolTip>

namespace fw::detail {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr int kNoticeMs = 10000;

// Bytes of one character in cp932, -1 when it has none. U+FFFD has none either: typed or
// pasted it would be stored as something else.
int charBytes(char32_t c) {
    std::string out;
    const QString one = QString::fromUcs4(&c, 1);
    if (!Utf8ToCp932(one.toStdString(), out)) {
        return -1;
    }
    return int(out.size());
}

// The parts of text and written that agree at the start and at the end, in UTF-16 units: what
// an edit of written into text left alone.
struct Untouched {
    qsizetype prefix = 0;
    qsizetype suffix = 0;
};

Untouched untouched(const QString& text, const QString& written) {
    Untouched u;
    const qsizetype shorter = std::min(text.size(), written.size());
    while (u.prefix < shorter && text[u.prefix] == written[u.prefix]) {
        ++u.prefix;
    }
    while (u.suffix < shorter - u.prefix &&
           text[text.size() - 1 - u.suffix] == written[written.size() - 1 - u.suffix]) {
        ++u.suffix;
    }
    return u;
}

// Where in written the U+FFFD at index i of text came from, or -1 when it was not there: only
// a replacement character the user left where the program wrote it stands for damaged bytes.
qsizetype writtenIndex(const QString& text, qsizetype i, const QString& written,
                       const Untouched& u) {
    if (i < u.prefix) {
        return i;
    }
    if (i >= text.size() - u.suffix) {
        return i - text.size() + written.size();
    }
    return -1;
}

} // namespace

int storedBytes(const QString& text, bool multiLine, const QString& written) {
    std::string out;
    int total = 0;
    if (Utf8ToCp932(text.toStdString(), out)) {
        total = int(out.size());
    } else {
        const Untouched u = untouched(text, written);
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == kReplacement) {
                if (writtenIndex(text, i, written, u) < 0) {
                    return -1;
                }
                total += 1;
                continue;
            }
            const bool pair = text[i].isHighSurrogate() && i + 1 < text.size();
            const char32_t c =
                pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
            i += pair ? 1 : 0;
            const int n = charBytes(c);
            if (n < 0) {
                return -1;
            }
            total += n;
        }
    }
    return multiLine ? total + int(text.count(QLatin1Char('\n'))) : total;
}

bool fitsField(const QString& text, int limit, bool multiLine, const QString& written) {
    const int bytes = storedBytes(text, multiLine, written);
    return bytes >= 0 && (limit < 0 || bytes <= limit);
}

QString typedText(const QString& text, int limit, bool multiLine) {
    QString result;
    int bytes = 0;
    for (char32_t c : text.toUcs4()) {
        int n = charBytes(c);
        if (n < 0) {
            continue;
        }
        if (multiLine && c == U'\n') {
            n = 2;
        }
        if (limit >= 0 && bytes + n > limit) {
            continue;
        }
        bytes += n;
        result += QString::fromUcs4(&c, 1);
    }
    return result;
}

QString storableText(const QString& text, const QString& written, QString* refused) {
    const Untouched u = untouched(text, written);
    QString kept;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, n);
        const bool damagedByte = text[i] == kReplacement && writtenIndex(text, i, written, u) >= 0;
        const char32_t c =
            n == 2 ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
        i += n - 1;
        if (damagedByte || (c != kReplacement && charBytes(c) >= 0)) {
            kept += one;
        } else if (refused && !refused->contains(one)) {
            *refused += one;
        }
    }
    return kept;
}

QString refusalNotice(const QString& refused, bool hidden) {
    if (hidden) {
        return QString::fromUtf8(
            "登録できない文字を入力しました（JIS の文字に置き換えてください）");
    }
    QString quoted;
    for (char32_t c : refused.toUcs4()) {
        if (!quoted.isEmpty()) {
            quoted += QLatin1Char(' ');
        }
        quoted += QLatin1Char('"') + QString::fromUcs4(&c, 1) + QLatin1Char('"');
    }
    return quoted + QString::fromUtf8(" は登録できない文字です（JIS の文字に置き換えてください）");
}

void reportRefused(QWidget* field, const QString& refused) {
    if (refused.isEmpty()) {
        return;
    }
    const auto* line = qobject_cast<QLineEdit*>(field);
    const bool hidden = line && line->echoMode() != QLineEdit::Normal;
    const QString notice = refusalNotice(refused, hidden);
    QApplication::beep();
    if (field && field->isVisible()) {
        QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())), notice, field);
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* frame = qobject_cast<QMainWindow*>(top)) {
            frame->statusBar()->showMessage(notice, kNoticeMs);
        }
    }
}

// A character without a cp932 form, typed or pasted, is left out and named; the rest of what
// came in stays. A text that is too long is refused whole, as a full field refuses a key.
QValidator::State Cp932Validator::validate(QString& input, int& pos) const {
    // What the program wrote stays as it is (an ID stored full-width by an earlier version is
    // shown and kept as stored); what the user typed or pasted is folded.
    if (m_halfWidth && input != m_written) {
        input = foldedToHalfWidth(input); // one UTF-16 unit for one: the cursor stays
    }
    if (fitsField(input, m_limit, false, m_written)) {
        return Acceptable;
    }
    QString refused;
    const QString kept = storableText(input, m_written, &refused);
    if (refused.isEmpty() || !fitsField(kept, m_limit, false, m_written)) {
        return Invalid;
    }
    pos -= int(input.left(pos).size() - storableText(input.left(pos), m_written, nullptr).size());
    input = kept;
    reportRefused(qobject_cast<QWidget*>(parent()), refused);
    return Acceptable;
}

MultiLineEdit::MultiLineEdit(bool wantReturn, QWidget* parent)
    : QPlainTextEdit(parent), m_wantReturn(wantReturn) {
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] { checkChange(); });
}

void MultiLineEdit::setTextQuietly(const QString& text) {
    m_quiet = true;
    setPlainText(text);
    m_quiet = false;
    m_accepted = text;
    m_written = text;
}

void MultiLineEdit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !m_wantReturn) {
        event->ignore(); // Enter belongs to the dialog's default button
        return;
    }
    if (enter && isReadOnly()) {
        event->accept(); // wanted but not written: it must not reach the default button either
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MultiLineEdit::checkChange() {
    if (m_quiet) {
        return;
    }
    const QString now = toPlainText();
    if (fitsField(now, m_limit, true, m_written)) {
        m_accepted = now;
        if (onUserChange) {
            onUserChange();
        }
        return;
    }
    // What has a cp932 form stays when it fits; the rest is named. Otherwise the change is
    // taken back as a whole.
    QString refused;
    const QString kept = storableText(now, m_written, &refused);
    const bool keep = !refused.isEmpty() && fitsField(kept, m_limit, true, m_written);
    const QString shown = keep ? kept : m_accepted;
    const int cursor = textCursor().position() - int(now.size() - shown.size());
    {
        const QSignalBlocker block(this);
        setPlainText(shown);
    }
    QTextCursor restored = textCursor();
    restored.setPosition(std::clamp(cursor, 0, int(shown.size())));
    setTextCursor(restored);
    if (keep) {
        m_accepted = kept;
        reportRefused(this, refused);
        if (onUserChange) {
            onUserChange();
        }
    }
}

QString foldedToHalfWidth(const QString& text) {
    QString folded = text;
    for (QChar& c : folded) {
        const char16_t u = c.unicode();
        if (u >= u'！' && u <= u'～') { // the full-width forms of "!" to "~"
            c = QChar(u - u'！' + u'!');
        } else if (u == u'　') {
            c = QLatin1Char(' ');
        } else if (u == u'−') {
            c = QLatin1Char('-');
        }
    }
    return folded;
}

QString shownText(const CString& text, bool multiLine) {
    QString shown = QString::fromStdString(text.ToUtf8());
    if (multiLine) {
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    return shown;
}

CString storedText(const QString& shown, bool multiLine, const CString& writtenBytes,
                   const QString& writtenShown) {
    QString text = shown;
    if (multiLine) {
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    }
    CString out;
    if (CString::FromUtf8(text.toStdString(), out)) {
        return out;
    }
    // Damaged bytes the program wrote and the user left where they were go back as they came;
    // the guard lets no other U+FFFD in.
    std::vector<std::string_view> damaged;
    Cp932ToUtf8(writtenBytes.view(), &damaged);
    const Untouched u = untouched(shown, writtenShown);
    out.Empty();
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i] == kReplacement) {
            const qsizetype j = writtenIndex(shown, i, writtenShown, u);
            const auto k = std::size_t(j < 0 ? 0 : writtenShown.left(j).count(kReplacement));
            if (j >= 0 && k < damaged.size()) {
                out += CString(damaged[k].data(), int(damaged[k].size()));
            }
            continue;
        }
        const qsizetype n = shown[i].isHighSurrogate() && i + 1 < shown.size() ? 2 : 1;
        QString one = shown.mid(i, n);
        i += n - 1;
        if (multiLine && one == QStringLiteral("\n")) {
            one = QStringLiteral("\r\n");
        }
        CString bytes;
        if (CString::FromUtf8(one.toStdString(), bytes)) {
            out += bytes;
        }
    }
    return out;
}

} // namespace fw::detail
