#include "framework/Codec.h"
#include "framework/ui/DialogImpl.h"

#include <QKeyEvent>
#include <QSignalBlocker>
#include <QStringView>

namespace fw::detail {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Bytes of one character in cp932, -1 when it has none. U+FFFD only ever comes from damaged
// bytes already in the text, shown as such; it is let through so the rest stays editable.
int charBytes(char32_t c) {
    if (c == kReplacement) {
        return 1;
    }
    std::string out;
    const QString one = QString::fromUcs4(&c, 1);
    if (!Utf8ToCp932(one.toStdString(), out)) {
        return -1;
    }
    return int(out.size());
}

} // namespace

int storedBytes(const QString& text, bool multiLine) {
    std::string out;
    int total = 0;
    if (Utf8ToCp932(text.toStdString(), out)) {
        total = int(out.size());
    } else {
        for (char32_t c : text.toUcs4()) {
            const int n = charBytes(c);
            if (n < 0) {
                return -1;
            }
            total += n;
        }
    }
    return multiLine ? total + int(text.count(QLatin1Char('\n'))) : total;
}

bool fitsField(const QString& text, int limit, bool multiLine) {
    const int bytes = storedBytes(text, multiLine);
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

QValidator::State Cp932Validator::validate(QString& input, int&) const {
    return fitsField(input, m_limit, false) ? Acceptable : Invalid;
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
    if (fitsField(now, m_limit, true)) {
        m_accepted = now;
        if (onUserChange) {
            onUserChange();
        }
        return;
    }
    const int cursor = textCursor().position() - int(now.size() - m_accepted.size());
    {
        const QSignalBlocker block(this);
        setPlainText(m_accepted);
    }
    QTextCursor restored = textCursor();
    restored.setPosition(std::clamp(cursor, 0, int(m_accepted.size())));
    setTextCursor(restored);
}

QString shownText(const CString& text, bool multiLine) {
    QString shown = QString::fromStdString(text.ToUtf8());
    if (multiLine) {
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    return shown;
}

CString storedText(const QString& shown, bool multiLine) {
    QString text = shown;
    if (multiLine) {
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    }
    CString out;
    if (CString::FromUtf8(text.toStdString(), out)) {
        return out;
    }
    // Only a damaged character shown as U+FFFD gets here; it cannot be given back.
    out.Empty();
    for (char32_t c : text.toUcs4()) {
        CString one;
        out += CString::FromUtf8(QString::fromUcs4(&c, 1).toStdString(), one) ? one : CString("?");
    }
    return out;
}

} // namespace fw::detail
