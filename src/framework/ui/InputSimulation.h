#pragma once
// User input made by the automation runner: named keys and mouse clicks sent to a widget as the
// window system would deliver them. For the framework's windows only.

#include <QPoint>
#include <QString>

#include <string>

class QWidget;

namespace fw {

// The Qt key and the text of a key name: Return, Enter, Escape, Tab, Backspace, Delete, Space,
// Up, Down, Left, Right, PageUp, PageDown, Home, End, F1-F12, or one character (UTF-8).
bool ResolveKey(const std::string& name, int& key, QString& text);
// One press of the named key with that repeat count, and its release.
bool SendNamedKey(QWidget* target, const std::string& name, int repeat, std::string& error);
// A left press and release at pos, in target's coordinates.
void SendClick(QWidget* target, QPoint pos);

} // namespace fw
