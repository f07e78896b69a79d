#include "framework/ui/Dialog.h"

#include "framework/ui/DialogImpl.h"

#include <QApplication>
#include <QFontMetrics>

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

// The text's size in dialog units, wrapped at a readable width.
TextSize measure(const QString& text) {
    const QFontMetrics metrics(detail::dialogFont());
    const int unitX = std::max(detail::dluToPixelsX(4), 1);
    const int unitY = std::max(detail::dluToPixelsY(8), 1);
    const QRect bounds = metrics.boundingRect(
        QRect(0, 0, detail::dluToPixelsX(kMaxTextWidth), 1 << 20), Qt::TextWordWrap, text);
    const int cx = (bounds.width() * 4 + unitX - 1) / unitX + 2;
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
    CMessageDlg(const DlgTemplate& tmpl, const CString& text) : CDialog(tmpl), m_text(text) {}

protected:
    bool OnInitDialog() override {
        SetDlgItemText(kMessageTextId, m_text);
        return true;
    }

private:
    CString m_text;
};

} // namespace

void ShowMessage(const CString& text) {
    const std::string title = QApplication::applicationName().toStdString();
    const TextSize size = measure(detail::shownText(text, true));
    CMessageDlg dialog(messageTemplate(size, title.c_str()), text);
    dialog.DoModal();
}

} // namespace fw
