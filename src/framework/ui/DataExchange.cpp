#include "framework/ui/Dialog.h"

#include "framework/ui/DialogImpl.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>

#include <charconv>
#include <cmath>
#include <cstdint>

namespace fw {

using detail::Control;

namespace detail {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::size_t skipDigits(std::string_view text, std::size_t i) {
    while (i < text.size() && isDigit(text[i])) {
        ++i;
    }
    return i;
}

// A plain decimal number: sign, digits with at most one point, an optional exponent. Nothing
// that strtod would take beyond that (hexadecimal, inf, nan) is a height or a weight.
bool isDecimalNumber(std::string_view text) {
    std::size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    const std::size_t intEnd = skipDigits(text, i);
    std::size_t digits = intEnd - i;
    i = intEnd;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fracEnd = skipDigits(text, i + 1);
        digits += fracEnd - i - 1;
        i = fracEnd;
    }
    if (digits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        const std::size_t expEnd = skipDigits(text, i);
        if (expEnd == i) {
            return false;
        }
        i = expEnd;
    }
    return i == text.size();
}

} // namespace

bool parseDialogInt(std::string_view text, int& value) {
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    std::int64_t magnitude = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            return false;
        }
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > std::int64_t(INT32_MAX) + 1) {
            return false;
        }
    }
    const std::int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX) {
        return false;
    }
    value = int(result);
    return true;
}

bool parseDialogFloat(std::string_view text, float& value) {
    text = trimmed(text);
    if (!isDecimalNumber(text)) {
        return false;
    }
    const bool negative = text[0] == '-';
    if (text[0] == '+' || text[0] == '-') {
        text.remove_prefix(1);
    }
    float result = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    value = negative ? -result : result;
    return true;
}

CString formatDialogFloat(float value) {
    // Six significant digits as ever, more only where six would not read back to the same
    // float: a value opened and confirmed unchanged must stay the value it was.
    char text[32];
    for (int precision = 6;; ++precision) {
        auto [end, error] =
            std::to_chars(text, text + sizeof text, value, std::chars_format::general, precision);
        float back = 0;
        std::from_chars(text, end, back);
        if (back == value || precision >= 9 || value != value) {
            return CString(text, int(end - text));
        }
    }
}

} // namespace detail

namespace {

Control& lastControl(CDataExchange* pDX) {
    return DialogAccess::impl(*pDX->m_pDlgWnd).get(pDX->m_idLastControl);
}

Control& prepare(CDataExchange* pDX, int id) {
    pDX->PrepareCtrl(id);
    return lastControl(pDX);
}

[[noreturn]] void failWith(CDataExchange* pDX, const CString& message) {
    ShowMessage(message);
    pDX->Fail();
}

// The name of the field the exchange last prepared: the one its template gives it, else the
// text of the nearest label before it; empty when there is none.
CString fieldName(CDataExchange* pDX) {
    const std::vector<CtlTemplate>& all = DialogAccess::impl(*pDX->m_pDlgWnd).tmpl.controls;
    const CtlTemplate* field = lastControl(pDX).tmpl;
    const char* name = field->name;
    for (auto i = std::size_t(field - all.data()); !name && i-- > 0;) {
        if (all[i].kind == CtlKind::Static && *all[i].caption) {
            name = all[i].caption;
        }
    }
    CString text;
    if (name) {
        CString::FromUtf8(name, text);
    }
    return text;
}

// A standard message that names the field it is about: "「年齢」には整数を入力してください。",
// "「年齢」には -1 から 1000 までの整数を入力してください。"; particle joins the name to what
// is asked ("には", "は"). A text without a name is what is asked alone.
[[noreturn]] void failFor(CDataExchange* pDX, const CString& what, const CString& particle) {
    const CString name = fieldName(pDX);
    if (name.IsEmpty()) {
        failWith(pDX, what);
    }
    const bool number = !what.IsEmpty() && static_cast<unsigned char>(what[0]) < 0x80;
    failWith(pDX, "「"_sj + name + "」"_sj + particle + (number ? " "_sj : CString()) + what);
}

void selectAllText(Control& c) {
    if (c.isMultiLine()) {
        static_cast<detail::MultiLineEdit*>(c.widget)->selectAll();
    } else if (c.kind() == CtlKind::Edit) {
        static_cast<QLineEdit*>(c.widget)->selectAll();
    } else if (c.kind() == CtlKind::ComboEdit) {
        static_cast<QComboBox*>(c.widget)->lineEdit()->selectAll();
    }
}

std::vector<Control*> radioGroupOf(CDataExchange* pDX, int firstId) {
    CDialog::Impl& d = DialogAccess::impl(*pDX->m_pDlgWnd);
    const int group = d.get(firstId).radioGroup;
    std::vector<Control*> members;
    for (Control& c : d.controls) {
        if (group >= 0 && c.radioGroup == group) {
            members.push_back(&c);
        }
    }
    return members;
}

void checkRadio(const std::vector<Control*>& group, int index) {
    auto* first = static_cast<QAbstractButton*>(group.front()->widget);
    QButtonGroup* buttons = first->group();
    // An exclusive group keeps one button checked; no choice needs the rule lifted.
    if (buttons) {
        buttons->setExclusive(false);
    }
    for (std::size_t i = 0; i < group.size(); ++i) {
        static_cast<QAbstractButton*>(group[i]->widget)->setChecked(int(i) == index);
    }
    if (buttons) {
        buttons->setExclusive(true);
    }
}

} // namespace

void CDataExchange::Fail() {
    if (m_bSaveAndValidate) {
        if (Control* c = DialogAccess::impl(*m_pDlgWnd).find(m_idLastControl)) {
            c->widget->setFocus(Qt::OtherFocusReason);
            selectAllText(*c);
        }
    }
    throw detail::ExchangeFailure{};
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
    Control& c = prepare(pDX, id);
    if (pDX->m_bSaveAndValidate) {
        value = detail::readText(c);
    } else {
        detail::writeText(c, value);
    }
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
    Control& c = prepare(pDX, id);
    if (!pDX->m_bSaveAndValidate) {
        detail::UseHalfWidthInput(c);
        detail::writeText(c, CString::Formatted("%d", value));
        return;
    }
    if (!detail::parseDialogInt(detail::readText(c).view(), value)) {
        failFor(pDX, "整数を入力してください。"_sj, "には"_sj);
    }
}

void DDX_Text(CDataExchange* pDX, int id, float& value) {
    Control& c = prepare(pDX, id);
    if (!pDX->m_bSaveAndValidate) {
        detail::UseHalfWidthInput(c);
        detail::writeText(c, detail::formatDialogFloat(value));
        return;
    }
    if (!detail::parseDialogFloat(detail::readText(c).view(), value)) {
        failFor(pDX, "数値を入力してください。"_sj, "には"_sj);
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    auto* button = static_cast<QAbstractButton*>(prepare(pDX, id).widget);
    if (pDX->m_bSaveAndValidate) {
        value = button->isChecked() ? 1 : 0;
    } else {
        button->setChecked(value != 0);
    }
}

void DDX_Radio(CDataExchange* pDX, int firstId, int& value) {
    prepare(pDX, firstId);
    const std::vector<Control*> group = radioGroupOf(pDX, firstId);
    if (group.empty()) {
        return;
    }
    if (!pDX->m_bSaveAndValidate) {
        checkRadio(group, value);
        return;
    }
    value = -1;
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (static_cast<QAbstractButton*>(group[i]->widget)->isChecked()) {
            value = int(i);
        }
    }
}

void DDX_CBIndex(CDataExchange* pDX, int id, int& index) {
    Control& c = prepare(pDX, id);
    if (pDX->m_bSaveAndValidate) {
        index = detail::selectedItem(c);
    } else {
        detail::selectItem(c, index);
    }
}

void DDX_CBString(CDataExchange* pDX, int id, CString& value) {
    Control& c = prepare(pDX, id);
    if (pDX->m_bSaveAndValidate) {
        value = detail::readText(c);
        return;
    }
    detail::selectItem(c, detail::findItemExact(c, value));
    if (c.kind() == CtlKind::ComboEdit) {
        detail::writeText(c, value);
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal)) {
        failFor(pDX,
                CString::Formatted("%d", minVal) + " から "_sj + CString::Formatted("%d", maxVal) +
                    " までの整数を入力してください。"_sj,
                "には"_sj);
    }
}

void DDV_MinMaxFloat(CDataExchange* pDX, float value, int minVal, int maxVal) {
    const bool inRange =
        value >= float(minVal) && value <= float(maxVal) && !(minVal >= 0 && std::signbit(value));
    if (pDX->m_bSaveAndValidate && !inRange) {
        failFor(pDX,
                CString::Formatted("%d", minVal) + " から "_sj + CString::Formatted("%d", maxVal) +
                    " までの数値を入力してください。"_sj,
                "には"_sj);
    }
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int maxBytes) {
    if (!pDX->m_bSaveAndValidate) {
        detail::setByteLimit(lastControl(pDX), maxBytes);
        return;
    }
    if (value.GetLength() > maxBytes) {
        failFor(pDX,
                CString::Formatted("%d", maxBytes) +
                    " バイト以内で入力してください（全角文字は 2 バイトです）。"_sj,
                "は"_sj);
    }
}

} // namespace fw
