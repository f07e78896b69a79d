#include "framework/ui/DialogImpl.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QInputMethodQueryEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <deque>
#include <string>

namespace fw::detail {
namespace {

constexpr int kDialogPointSize = 9;
constexpr int kFrameWidth = 2; // border drawn by dialogs without a title bar

// The first of these families whose font, as fontconfig matches it, writes Japanese itself.
// The families are asked for by their own names, which fontconfig knows whatever the
// session's language, and the match is judged by what it covers, never by the name it is
// listed under (a Japanese desktop lists "IPAゴシック").
QString japaneseFamily() {
    for (const char* family : {"IPAGothic", "VL Gothic", "Noto Sans CJK JP", "sans-serif"}) {
        const QFontInfo matched(QFont(QString::fromLatin1(family), kDialogPointSize));
        if (QFontDatabase::writingSystems(matched.family()).contains(QFontDatabase::Japanese)) {
            return matched.family();
        }
    }
    return QApplication::font().family();
}

struct BaseUnits {
    int x;
    int y;
};

// The average width of the Latin letters, rounded, as dialog base units have always been taken.
const BaseUnits& baseUnits() {
    static const BaseUnits units = [] {
        const QFontMetrics metrics(dialogFont());
        const QString letters =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        const int x = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
        return BaseUnits{std::max(x, 1), std::max(metrics.height(), 1)};
    }();
    return units;
}

QString caption(const CtlTemplate& t) {
    return QString::fromUtf8(t.caption);
}

Qt::Alignment alignment(const CtlTemplate& t) {
    if (t.style & kAlignRight) {
        return Qt::AlignRight;
    }
    return (t.style & kAlignCenter) ? Qt::AlignHCenter : Qt::AlignLeft;
}

// The input context of ibus and fcitx asks the focused widget whether it takes input-method
// text; a line edit says yes whatever its attributes, so the answer is given here.
class NoConversion : public QObject {
public:
    explicit NoConversion(QObject* parent) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::InputMethodQuery) {
            return false;
        }
        auto* query = static_cast<QInputMethodQueryEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        for (int bit = 0; bit < 32; ++bit) {
            const auto q = Qt::InputMethodQuery(int(query->queries()) & (1 << bit));
            if (q) {
                query->setValue(q,
                                q == Qt::ImEnabled ? QVariant(false) : widget->inputMethodQuery(q));
            }
        }
        query->accept();
        return true;
    }
};

QWidget* makeStatic(const CtlTemplate& t, QWidget* parent) {
    auto* label = new QLabel(caption(t), parent);
    label->setTextFormat(Qt::PlainText);
    const bool centred = (t.style & kAlignVCenter) != 0;
    label->setWordWrap(!centred);
    label->setAlignment(alignment(t) | (centred ? Qt::AlignVCenter : Qt::AlignTop));
    return label;
}

// Read-only fields are drawn on the dialog's own colour, so that they do not invite typing.
void showAsReadOnly(QWidget* edit) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
}

QWidget* makeIcon(QWidget* parent) {
    auto* label = new QLabel(parent);
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) {
        label->setPixmap(icon.pixmap(32, 32));
    }
    return label;
}

QWidget* makeGroup(const CtlTemplate& t, QWidget* parent) {
    auto* box = new QGroupBox(caption(t), parent);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

QWidget* makeEdit(Control& c, QWidget* parent) {
    const CtlTemplate& t = *c.tmpl;
    if (t.style & kMultiLine) {
        auto* edit = new MultiLineEdit((t.style & kWantReturn) != 0, parent);
        edit->setReadOnly((t.style & kReadOnly) != 0);
        if (t.style & kReadOnly) {
            showAsReadOnly(edit);
        }
        edit->setVerticalScrollBarPolicy((t.style & kVScroll) ? Qt::ScrollBarAlwaysOn
                                                              : Qt::ScrollBarAlwaysOff);
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        return edit;
    }
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly((t.style & kReadOnly) != 0);
    if (t.style & kReadOnly) {
        showAsReadOnly(edit);
    }
    edit->setAlignment(alignment(t) | Qt::AlignVCenter);
    if (t.style & kPassword) {
        edit->setEchoMode(QLineEdit::Password);
    }
    c.guard = new Cp932Validator(edit);
    edit->setValidator(c.guard);
    if (t.style & kHalfWidth) {
        UseHalfWidthInput(edit);
    }
    return edit;
}

QWidget* makeCombo(Control& c, QWidget* parent) {
    const CtlTemplate& t = *c.tmpl;
    auto* combo = new QComboBox(parent);
    if (t.kind == CtlKind::ComboEdit) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert); // typed texts never join the list
        combo->setCompleter(nullptr);
        c.guard = new Cp932Validator(combo);
        combo->setValidator(c.guard);
    }
    return combo;
}

QWidget* makeList(const CtlTemplate& t, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setViewMode(QListView::ListMode);
    list->setFlow(QListView::TopToBottom);
    list->setWrapping(true);
    list->setResizeMode(QListView::Adjust);
    list->setSelectionMode((t.style & kMultiSelect) ? QAbstractItemView::ExtendedSelection
                                                    : QAbstractItemView::SingleSelection);
    return list;
}

QWidget* makeWidget(Control& c, QWidget* parent) {
    const CtlTemplate& t = *c.tmpl;
    switch (t.kind) {
    case CtlKind::Static:
        return makeStatic(t, parent);
    case CtlKind::Push:
        return new QPushButton(caption(t), parent);
    case CtlKind::Check:
        return new QCheckBox(caption(t), parent);
    case CtlKind::Radio:
        return new QRadioButton(caption(t), parent);
    case CtlKind::Group:
        return makeGroup(t, parent);
    case CtlKind::Edit:
        return makeEdit(c, parent);
    case CtlKind::ComboEdit:
    case CtlKind::DropList:
        return makeCombo(c, parent);
    case CtlKind::ListCtrl:
        return makeList(t, parent);
    case CtlKind::Icon:
        return makeIcon(parent);
    case CtlKind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 1000);
        bar->setTextVisible(false);
        return bar;
    }
    }
    return nullptr;
}

void place(Control& c, int offset) {
    const CtlTemplate& t = *c.tmpl;
    const int x = offset + dluToPixelsX(t.x);
    const int y = offset + dluToPixelsY(t.y);
    const int width = dluToPixelsX(t.cx);
    int height = dluToPixelsY(t.cy);
    if (t.kind == CtlKind::ComboEdit || t.kind == CtlKind::DropList) {
        auto* combo = static_cast<QComboBox*>(c.widget);
        const int line = combo->sizeHint().height();
        const int itemHeight = std::max(QFontMetrics(dialogFont()).height(), 1);
        combo->setMaxVisibleItems(std::max(1, (height - line) / itemHeight));
        height = line;
    }
    c.widget->setGeometry(x, y, width, height);
}

void fillFixedItems(Control& c) {
    for (const char* item : c.tmpl->items) {
        CString text;
        if (!CString::FromUtf8(item, text)) {
            qFatal("dialog item without a cp932 form: %s", item);
        }
        insertItem(c, -1, text);
    }
}

void applyStyle(Control& c) {
    if (c.has(kDisabled)) {
        c.widget->setEnabled(false);
    }
    if (c.has(kHidden)) {
        c.widget->setVisible(false);
    }
    if (c.kind() == CtlKind::Push) {
        static_cast<QPushButton*>(c.widget)->setDefault(c.has(kDefault));
    }
}

// Radio buttons form a group from one marked as a group start, or following another kind of
// control, up to the next such start.
void joinRadioGroup(CDialog::Impl& d, Control& c, QButtonGroup*& group, int& groupIndex) {
    const bool follows = !d.controls.empty() && d.controls.back().kind() == CtlKind::Radio;
    if (c.kind() != CtlKind::Radio) {
        return;
    }
    if (!group || c.has(kGroup) || !follows) {
        group = new QButtonGroup(d.window);
        ++groupIndex;
    }
    group->addButton(static_cast<QRadioButton*>(c.widget));
    c.radioGroup = groupIndex;
}

void wireButton(CDialog& dialog, Control& c) {
    auto* button = static_cast<QAbstractButton*>(c.widget);
    const int id = c.id();
    QObject::connect(button, &QAbstractButton::clicked, button,
                     [&dialog, id] { DialogAccess::command(dialog, id); });
}

void wireEdit(CDialog& dialog, Control& c) {
    const int id = c.id();
    auto fire = [&dialog, id] { DialogAccess::changed(dialog, id); };
    if (c.isMultiLine()) {
        static_cast<MultiLineEdit*>(c.widget)->onUserChange = fire;
        return;
    }
    QLineEdit* edit = c.kind() == CtlKind::Edit ? static_cast<QLineEdit*>(c.widget)
                                                : static_cast<QComboBox*>(c.widget)->lineEdit();
    QObject::connect(edit, &QLineEdit::textEdited, edit, fire);
}

void wire(CDialog& dialog, Control& c) {
    CDialog::Impl& d = DialogAccess::impl(dialog);
    switch (c.kind()) {
    case CtlKind::Push:
    case CtlKind::Check:
    case CtlKind::Radio:
        wireButton(dialog, c);
        break;
    case CtlKind::Edit:
    case CtlKind::ComboEdit:
        wireEdit(dialog, c);
        break;
    default:
        break;
    }
    d.window->watch(c.widget, c.id());
    c.widget->installEventFilter(d.window);
    if (c.kind() == CtlKind::ComboEdit) {
        QLineEdit* inner = static_cast<QComboBox*>(c.widget)->lineEdit();
        d.window->watch(inner, c.id());
        inner->installEventFilter(d.window);
    }
}

} // namespace

} // namespace fw::detail

namespace fw {

const char* TemplateText(const CString& text) {
    static std::deque<std::string> kept;
    return kept.emplace_back(text.ToUtf8()).c_str();
}

} // namespace fw

namespace fw::detail {

void UseHalfWidthInput(Control& c) {
    if (c.kind() == CtlKind::Edit && !c.isMultiLine()) {
        UseHalfWidthInput(c.widget);
    }
}

void UseHalfWidthInput(QWidget* edit) {
    if (!edit->testAttribute(Qt::WA_InputMethodEnabled)) {
        return;
    }
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    edit->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhLatinOnly | Qt::ImhNoPredictiveText);
    edit->installEventFilter(new NoConversion(edit));
    if (auto* line = qobject_cast<QLineEdit*>(edit)) {
        if (auto* guard =
                dynamic_cast<Cp932Validator*>(const_cast<QValidator*>(line->validator()))) {
            guard->setHalfWidth(true);
        }
        // A line edit centres the font's whole line; the digits' own middle lies elsewhere in
        // it. A margin on one side moves the text by half its size.
        const QFontMetrics metrics(line->font());
        const QRect digit = metrics.tightBoundingRect(QStringLiteral("0"));
        const int lineMiddle = (metrics.descent() - metrics.ascent()) / 2; // from the baseline
        const int digitMiddle = digit.top() + digit.height() / 2;
        const int shift = 2 * (lineMiddle - digitMiddle);
        line->setTextMargins(0, std::max(shift, 0), 0, std::max(-shift, 0));
    }
}

const QFont& dialogFont() {
    static const QFont font(japaneseFamily(), kDialogPointSize);
    return font;
}

int dluToPixelsX(int x) {
    return (x * baseUnits().x + 2) / 4;
}
int dluToPixelsY(int y) {
    return (y * baseUnits().y + 4) / 8;
}

void buildWindow(CDialog& dialog, QWidget* parent) {
    CDialog::Impl& d = DialogAccess::impl(dialog);
    const bool framed = d.tmpl.title == nullptr;
    d.window = new DialogWindow(dialog, framed, parent);
    d.window->setFont(dialogFont());
    const int offset = framed ? kFrameWidth : 0;
    d.window->setFixedSize(dluToPixelsX(d.tmpl.cx) + 2 * offset,
                           dluToPixelsY(d.tmpl.cy) + 2 * offset);
    if (!framed) {
        d.window->setWindowTitle(QString::fromUtf8(d.tmpl.title));
    }
    d.controls.clear();
    d.byId.clear();
    d.controls.reserve(d.tmpl.controls.size());
    QButtonGroup* group = nullptr;
    int groupIndex = -1;
    for (const CtlTemplate& t : d.tmpl.controls) {
        Control c;
        c.tmpl = &t;
        c.widget = makeWidget(c, d.window);
        joinRadioGroup(d, c, group, groupIndex);
        d.controls.push_back(c);
        Control& placed = d.controls.back();
        place(placed, offset);
        fillFixedItems(placed);
        applyStyle(placed);
        if (t.id != kStaticId) {
            d.byId.emplace(t.id, d.controls.size() - 1);
        }
        wire(dialog, placed);
    }
    for (Control& c : d.controls) {
        if (c.kind() == CtlKind::Group) {
            c.widget->lower(); // a group box is a frame behind the controls it surrounds
        }
    }
}

void destroyWindow(CDialog::Impl& d) {
    delete d.window;
    d.window = nullptr;
    d.controls.clear();
    d.byId.clear();
}

} // namespace fw::detail
