#include "ActionButton.h"

#include <QAbstractButton>
#include <QAction>

QAction* MakeAction(QObject* parent, const char* objectName, const QString& text) {
  auto* action = new QAction(text, parent);
  action->setObjectName(QString::fromLatin1(objectName));
  return action;
}

void BindButton(QAbstractButton* button, QAction* action) {
  const auto sync = [button, action] {
    button->setText(action->text());
    button->setEnabled(action->isEnabled());
  };
  sync();
  QObject::connect(action, &QAction::changed, button, sync);
  QObject::connect(button, &QAbstractButton::clicked, action, &QAction::trigger);
}
