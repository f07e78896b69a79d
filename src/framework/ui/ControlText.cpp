#include "framework/ui/DialogImpl.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStringList>

namespace fw::detail {
namespace {

constexpr int kBytesRole = Qt::UserRole;

QString widgetText(const Control& c) {
    QWidget* w = c.widget;
    switch (c.kind()) {
    case CtlKind::Edit:
        if (c.isMultiLine()) {
            return static_cast<MultiLineEdit*>(w)->toPlainText();
        }
        return static_cast<QLineEdit*>(w)->text();
    case CtlKind::ComboEdit:
        return static_cast<QComboBox*>(w)->currentText();
    case CtlKind::Push:
    case CtlKind::Check:
    case CtlKind::Radio:
        return static_cast<QAbstractButton*>(w)->text();
    case CtlKind::Group:
        return static_cast<QGroupBox*>(w)->title();
    case CtlKind::Static:
        return static_cast<QLabel*>(w)->text();
    default:
        return {};
    }
}

void setWidgetText(Control& c, const QString& shown) {
    QWidget* w = c.widget;
    switch (c.kind()) {
    case CtlKind::Edit:
        if (c.isMultiLine()) {
            static_cast<MultiLineEdit*>(w)->setTextQuietly(shown);
        } else {
            auto* edit = static_cast<QLineEdit*>(w);
            edit->setText(shown);
            // A text the program writes is read from its start, as a long name must be.
            if (!edit->hasFocus()) {
                edit->setCursorPosition(0);
            }
        }
        break;
    case CtlKind::ComboEdit:
        static_cast<QComboBox*>(w)->setEditText(shown);
        break;
    case CtlKind::Push:
    case CtlKind::Check:
    case CtlKind::Radio:
        static_cast<QAbstractButton*>(w)->setText(shown);
        break;
    case CtlKind::Group:
        static_cast<QGroupBox*>(w)->setTitle(shown);
        break;
    case CtlKind::Static:
        static_cast<QLabel*>(w)->setText(shown);
        break;
    default:
        break;
    }
}

CString itemBytes(const QVariant& data) {
    const QByteArray bytes = data.toByteArray();
    return CString(bytes.constData(), int(bytes.size()));
}

QVariant bytesData(const CString& text) {
    return QByteArray(text.data(), text.GetLength());
}

// Labels show line breaks as multi-line edits do.
bool breaksLines(const Control& c) {
    return c.isMultiLine() || c.kind() == CtlKind::Static;
}

} // namespace

CString readText(const Control& c) {
    if (c.kind() == CtlKind::DropList || c.kind() == CtlKind::ListCtrl) {
        const int index = selectedItem(c);
        return index < 0 ? CString() : itemText(c, index);
    }
    const QString shown = widgetText(c);
    if (c.kind() == CtlKind::ComboEdit) {
        const auto* combo = static_cast<const QComboBox*>(c.widget);
        const int index = combo->currentIndex();
        if (index >= 0 && combo->itemText(index) == shown) {
            return itemText(c, index);
        }
    }
    if (c.hasWritten && shown == c.writtenShown) {
        return c.writtenBytes;
    }
    return storedText(shown, breaksLines(c), c.writtenBytes, c.writtenShown);
}

void writeText(Control& c, const CString& text) {
    if (c.kind() == CtlKind::DropList) {
        selectItem(c, findItemExact(c, text));
        return;
    }
    const QString shown = shownText(text, breaksLines(c));
    c.writtenBytes = text;
    c.writtenShown = shown;
    c.hasWritten = true;
    if (c.guard) {
        c.guard->setWritten(shown);
    }
    // Writing only what differs keeps the caret where the user is typing.
    if (widgetText(c) != shown) {
        setWidgetText(c, shown);
    }
}

void setByteLimit(Control& c, int limit) {
    c.byteLimit = limit;
    if (c.isMultiLine()) {
        static_cast<MultiLineEdit*>(c.widget)->setByteLimit(limit);
        return;
    }
    if (c.guard) {
        c.guard->setByteLimit(limit);
    }
}

int itemCount(const Control& c) {
    if (c.kind() == CtlKind::ListCtrl) {
        return static_cast<QListWidget*>(c.widget)->count();
    }
    return static_cast<QComboBox*>(c.widget)->count();
}

CString itemText(const Control& c, int index) {
    if (c.kind() == CtlKind::ListCtrl) {
        return itemBytes(static_cast<QListWidget*>(c.widget)->item(index)->data(kBytesRole));
    }
    return itemBytes(static_cast<QComboBox*>(c.widget)->itemData(index, kBytesRole));
}

int findItemExact(const Control& c, const CString& text) {
    const int n = itemCount(c);
    for (int i = 0; i < n; ++i) {
        if (itemText(c, i) == text) {
            return i;
        }
    }
    return -1;
}

namespace {

// Sorted lists keep the program's text order; equal texts go after those already there.
int sortedPosition(const Control& c, const CString& text) {
    const int n = itemCount(c);
    for (int i = 0; i < n; ++i) {
        if (text.Compare(itemText(c, i)) < 0) {
            return i;
        }
    }
    return n;
}

void insertComboItem(Control& c, int pos, const CString& text) {
    auto* combo = static_cast<QComboBox*>(c.widget);
    // A combo box chooses its first item by itself; the shown text must not change.
    const int chosen = combo->currentIndex();
    const QString edited = combo->currentText();
    combo->insertItem(pos, shownText(text, false), bytesData(text));
    if (chosen < 0) {
        combo->setCurrentIndex(-1);
        if (combo->isEditable()) {
            combo->setEditText(edited);
        }
    }
}

} // namespace

void insertItem(Control& c, int pos, const CString& text) {
    const int n = itemCount(c);
    if (c.has(kSorted) && c.kind() != CtlKind::ListCtrl) {
        pos = sortedPosition(c, text);
    } else if (pos < 0 || pos > n) {
        pos = n;
    }
    if (c.kind() == CtlKind::ListCtrl) {
        auto* item = new QListWidgetItem(shownText(text, false));
        item->setData(kBytesRole, bytesData(text));
        static_cast<QListWidget*>(c.widget)->insertItem(pos, item);
        return;
    }
    insertComboItem(c, pos, text);
}

void appendItems(Control& c, const std::vector<CString>& texts) {
    if (c.kind() == CtlKind::ListCtrl || texts.empty()) {
        for (const CString& text : texts) {
            insertItem(c, -1, text);
        }
        return;
    }
    // The order one insertion after the other gives: sorted by the program's text order, equal
    // texts in the order they came, after the equal ones already there. A stable sort and a
    // stable merge give it at once.
    const int had = itemCount(c);
    std::vector<CString> items;
    items.reserve(std::size_t(had) + texts.size());
    for (int i = 0; i < had; ++i) {
        items.push_back(itemText(c, i));
    }
    items.insert(items.end(), texts.begin(), texts.end());
    const auto before = [](const CString& a, const CString& b) { return a.Compare(b) < 0; };
    auto* combo = static_cast<QComboBox*>(c.widget);
    const int chosen = combo->currentIndex();
    const QString edited = combo->currentText();
    int chosenAfter = chosen < 0 ? -1 : chosen;
    if (c.has(kSorted)) {
        const auto added = items.begin() + had;
        std::stable_sort(added, items.end(), before);
        if (chosen >= 0) {
            // New items equal to the chosen one come after it.
            chosenAfter = chosen + int(std::lower_bound(added, items.end(),
                                                        items[std::size_t(chosen)], before) -
                                       added);
        }
        std::inplace_merge(items.begin(), added, items.end(), before);
    }
    QStringList shown;
    shown.reserve(qsizetype(items.size()));
    for (const CString& text : items) {
        shown.push_back(shownText(text, false));
    }
    {
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->insertItems(0, shown);
        for (int i = 0; i < int(items.size()); ++i) {
            combo->setItemData(i, bytesData(items[std::size_t(i)]), kBytesRole);
        }
        combo->setCurrentIndex(chosenAfter);
    }
    if (chosenAfter < 0 && combo->isEditable()) {
        combo->setEditText(edited);
    }
}

void selectItem(Control& c, int index) {
    if (index >= itemCount(c)) {
        index = -1;
    }
    if (c.kind() == CtlKind::ListCtrl) {
        auto* list = static_cast<QListWidget*>(c.widget);
        list->clearSelection();
        if (index >= 0) {
            list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
        }
        return;
    }
    auto* combo = static_cast<QComboBox*>(c.widget);
    combo->setCurrentIndex(index);
    if (index < 0 && combo->isEditable()) {
        combo->setEditText(QString());
    }
}

int selectedItem(const Control& c) {
    if (c.kind() == CtlKind::ListCtrl) {
        auto* list = static_cast<QListWidget*>(c.widget);
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->isSelected()) {
                return i;
            }
        }
        return -1;
    }
    return static_cast<QComboBox*>(c.widget)->currentIndex();
}

CString scriptText(const Control& c) {
    if (c.kind() == CtlKind::Check || c.kind() == CtlKind::Radio) {
        return static_cast<QAbstractButton*>(c.widget)->isChecked() ? "1" : "0";
    }
    return readText(c);
}

} // namespace fw::detail
