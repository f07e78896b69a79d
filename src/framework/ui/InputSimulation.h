#pragma once
// User input made by the automation runner: named keys and mouse clicks sent to a widget as the
// window system would deliver them. For the framework's windows only.

#include <QPoint>

#include <string>

class QWidget;

namespace fw {

// Return, Enter, Escape, Tab, Backspace, Delete, Space, Up, Down, Left, Right, PageUp, PageDown,
// Home, End, F1-F12, or one character (UTF-8); count presses, the later ones as auto-repeat.
bool SendNamedKey(QWidget* target, const std::string& name, int count, std::string& error);
// A left press and release at pos, in target's coordinates.
void SendClick(QWidget* target, QPoint pos);

} // namespace fw
