#include "SpinEdit.h"

#include <algorithm>

#include <QSpinBox>

QSpinBox* MakeSpinEdit(QWidget* parent, const char* objectName, int minimum, int maximum, int step) {
  auto* edit = new QSpinBox(parent);
  edit->setObjectName(QString::fromLatin1(objectName));
  edit->setRange(minimum, maximum);
  edit->setSingleStep(step);
  edit->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  return edit;
}

int SpinEditNumber(const QSpinBox* edit) {
  bool ok = false;
  const int value = edit->locale().toInt(edit->cleanText(), &ok);
  return ok ? std::clamp(value, edit->minimum(), edit->maximum()) : edit->minimum();
}
