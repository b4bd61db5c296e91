// Buttons that stand for actions, so a command has one enable rule whether
// it is reached by button, menu or shortcut.
#pragma once

#include <QString>

class QAbstractButton;
class QAction;
class QObject;

// A new action owned by `parent`, with `objectName` and `text`.
QAction* MakeAction(QObject* parent, const char* objectName, const QString& text);

// `button` shows `action`'s text and enabled state from now on, and a click
// triggers the action (which checks its own enabled state first).
void BindButton(QAbstractButton* button, QAction* action);
