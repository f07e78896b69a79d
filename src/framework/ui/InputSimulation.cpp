#include "framework/ui/InputSimulation.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <array>

namespace fw {
namespace {

struct NamedKey {
    const char* name;
    int key;
    const char* text;
};

constexpr std::array kNamedKeys{
    NamedKey{"Return", Qt::Key_Return, "\r"},
    NamedKey{"Enter", Qt::Key_Enter, "\r"},
    NamedKey{"Escape", Qt::Key_Escape, "\x1b"},
    NamedKey{"Tab", Qt::Key_Tab, "\t"},
    NamedKey{"Backspace", Qt::Key_Backspace, "\b"},
    NamedKey{"Delete", Qt::Key_Delete, ""},
    NamedKey{"Space", Qt::Key_Space, " "},
    NamedKey{"Up", Qt::Key_Up, ""},
    NamedKey{"Down", Qt::Key_Down, ""},
    NamedKey{"Left", Qt::Key_Left, ""},
    NamedKey{"Right", Qt::Key_Right, ""},
    NamedKey{"PageUp", Qt::Key_PageUp, ""},
    NamedKey{"PageDown", Qt::Key_PageDown, ""},
    NamedKey{"Home", Qt::Key_Home, ""},
    NamedKey{"End", Qt::Key_End, ""},
};

bool functionKey(const std::string& name, int& key) {
    if (name.size() < 2 || name[0] != 'F') {
        return false;
    }
    bool ok = false;
    const int number = QString::fromStdString(name.substr(1)).toInt(&ok);
    if (!ok || number < 1 || number > 12 || name[1] == '0' || name[1] == '+') {
        return false;
    }
    key = Qt::Key_F1 + number - 1;
    return true;
}

bool characterKey(const std::string& name, int& key, QString& text) {
    const QString character = QString::fromUtf8(name);
    if (character.toUcs4().size() != 1) {
        return false;
    }
    const char32_t c = character.toUcs4().front();
    text = character;
    // Qt names the keys of Latin letters by their capitals; other characters come as text alone.
    key = c < 0x80 ? int(QChar(char16_t(c)).toUpper().unicode()) : 0;
    return true;
}

} // namespace

bool ResolveKey(const std::string& name, int& key, QString& text) {
    for (const NamedKey& named : kNamedKeys) {
        if (name == named.name) {
            key = named.key;
            text = QString::fromLatin1(named.text);
            return true;
        }
    }
    if (functionKey(name, key)) {
        text.clear();
        return true;
    }
    return characterKey(name, key, text);
}

bool SendNamedKey(QWidget* target, const std::string& name, int repeat, std::string& error) {
    int key = 0;
    QString text;
    if (!ResolveKey(name, key, text)) {
        error = "unknown key \"" + name + "\"";
        return false;
    }
    // A key event carries at most 65535 repeats; the controls of a dialog act once on a press
    // whatever its count.
    const auto count = quint16(std::clamp(repeat, 1, 0xFFFF));
    QPointer<QWidget> receiver = target;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text, count > 1, count);
    QCoreApplication::sendEvent(receiver, &press);
    // The press may have ended the dialog or opened another one.
    if (receiver) {
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text, count > 1, count);
        QCoreApplication::sendEvent(receiver, &release);
    }
    return true;
}

void SendClick(QWidget* target, QPoint pos) {
    QPointer<QWidget> receiver = target;
    const QPointF local(pos);
    const QPointF global(target->mapToGlobal(pos));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &press);
    if (!receiver) {
        return;
    }
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &release);
}

} // namespace fw
