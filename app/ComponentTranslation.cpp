// Translating a whole window: every text property of every object below
// it, with the English kept on the object itself (a dynamic property per
// text), so a later change of language starts from the English again.
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVariant>

#include "Translator.h"

namespace {

constexpr const char* KeepProperty = "contigraKeepUntranslated";
constexpr const char* KeepChildrenProperty = "contigraKeepChildrenUntranslated";
// The text properties a widget or action may carry.
constexpr const char* TextProperties[] = {"windowTitle",     "title",           "text",
                                          "toolTip",         "statusTip",       "whatsThis",
                                          "placeholderText", "specialValueText"};

QByteArray EnglishName(const char* property) { return QByteArray("contigraEnglish_") + property; }

// An action's tooltip falls back on its caption, without "&" and a
// trailing "..."; such a tooltip follows the caption by itself.
bool DerivedToolTip(const QAction* action) {
  QString caption = action->text();
  caption.remove(QLatin1Char('&'));
  if (caption.endsWith(QStringLiteral("..."))) caption.chop(3);
  return action->toolTip() == caption.trimmed();
}

bool Skipped(const QObject* object) {
  if (object->property(KeepProperty).toBool()) return true;
  if (object->parent() && object->parent()->property(KeepChildrenProperty).toBool()) return true;
  // A menu's own action mirrors its title, a tool button its action.
  if (const auto* action = qobject_cast<const QAction*>(object)) return action->menu() != nullptr;
  if (const auto* button = qobject_cast<const QToolButton*>(object))
    return button->defaultAction() != nullptr;
  return !object->isWidgetType();
}

// Lists of texts inside one widget: column titles, tabs, combo items.
QStringList ListTexts(const QObject* object) {
  QStringList texts;
  if (const auto* tree = qobject_cast<const QTreeWidget*>(object)) {
    for (int i = 0; i < tree->columnCount(); ++i) texts << tree->headerItem()->text(i);
  } else if (const auto* tabs = qobject_cast<const QTabWidget*>(object)) {
    for (int i = 0; i < tabs->count(); ++i) texts << tabs->tabText(i);
  } else if (const auto* combo = qobject_cast<const QComboBox*>(object)) {
    if (!combo->isEditable())
      for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
  }
  return texts;
}

void SetListTexts(QObject* object, const QStringList& texts) {
  if (auto* tree = qobject_cast<QTreeWidget*>(object)) {
    for (int i = 0; i < texts.size() && i < tree->columnCount(); ++i)
      tree->headerItem()->setText(i, texts[i]);
  } else if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
    for (int i = 0; i < texts.size() && i < tabs->count(); ++i) tabs->setTabText(i, texts[i]);
  } else if (auto* combo = qobject_cast<QComboBox*>(object)) {
    for (int i = 0; i < texts.size() && i < combo->count(); ++i) combo->setItemText(i, texts[i]);
  }
}

QList<QObject*> Below(QObject* root) {
  QList<QObject*> objects{root};
  objects += root->findChildren<QObject*>();
  return objects;
}

void Remember(QObject* object, const TTranslator& translator) {
  for (const char* name : TextProperties) {
    const QVariant value = object->property(name);
    if (value.typeId() != QMetaType::QString || value.toString().isEmpty()) continue;
    if (qstrcmp(name, "toolTip") == 0 && qobject_cast<QAction*>(object) &&
        DerivedToolTip(static_cast<QAction*>(object)))
      continue;
    if (qstrcmp(name, "text") == 0 && object->inherits("QLineEdit")) continue;  // the user's

    object->setProperty(EnglishName(name), value);
    object->setProperty(name, translator.TranslateText(value.toString()));
  }
  const QStringList texts = ListTexts(object);
  if (texts.isEmpty()) return;
  object->setProperty(EnglishName("list"), texts);
  QStringList translated;
  for (const QString& text : texts) translated << translator.TranslateText(text);
  SetListTexts(object, translated);
}

void Restore(QObject* object, const TTranslator& translator) {
  for (const char* name : TextProperties) {
    const QVariant english = object->property(EnglishName(name));
    if (english.isValid()) object->setProperty(name, translator.TranslateText(english.toString()));
  }
  const QVariant list = object->property(EnglishName("list"));
  if (!list.isValid()) return;
  QStringList translated;
  for (const QString& text : list.toStringList()) translated << translator.TranslateText(text);
  SetListTexts(object, translated);
}

}  // namespace

void TTranslator::KeepUntranslated(QObject* object) { object->setProperty(KeepProperty, true); }

void TTranslator::KeepChildrenUntranslated(QObject* parent) {
  parent->setProperty(KeepChildrenProperty, true);
}

void TTranslator::TranslateComponent(QObject* root) const {
  for (QObject* object : Below(root))
    if (!Skipped(object)) Remember(object, *this);
}

void TTranslator::RetranslateComponent(QObject* root) const {
  for (QObject* object : Below(root))
    if (!Skipped(object)) Restore(object, *this);
}
