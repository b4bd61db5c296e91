// Spin edits as the dialogs use them: a number in a range, where a value
// typed outside the range is brought into it when the field loses focus.
#pragma once

class QSpinBox;
class QWidget;

QSpinBox* MakeSpinEdit(QWidget* parent, const char* objectName, int minimum, int maximum,
                       int step = 1);

// The number the field holds as typed, brought into its range; text that
// is not a number reads as the minimum.
int SpinEditNumber(const QSpinBox* edit);
