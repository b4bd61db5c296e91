// The interface language: the View menu's Language items, the language at
// start and the switch while the program runs.
#include <QActionGroup>
#include <QMenu>

#include "FragorForm.h"
#include "LanguageCodes.h"
#include "Translator.h"

namespace {

// Each language's own name (or the English one), the same in every
// language; in the order of LanguageCodes.
struct TLanguageItem {
  const char* Name;
  const char* Caption;
};
constexpr TLanguageItem LanguageItems[] = {
    {"mnuEnglish", "English"},     {"mnuRussian", "Русский"},  {"mnuDeutsch", "Deutsch"},
    {"mnuItalian", "Italian"},     {"mnuKorean", "Korean"},    {"mnuChinese", "Chinese"},
    {"mnuHungarian", "Hungarian"}, {"mnuRomanian", "Romanian"}};
static_assert(std::size(LanguageItems) == LanguageCodes.size());

}  // namespace

void TFragorForm::CreateLanguageItems() {
  auto* group = new QActionGroup(this);
  group->setExclusive(true);
  for (int tag = 0; tag < static_cast<int>(std::size(LanguageItems)); ++tag) {
    QAction* item = mnuViewLanguage->addAction(QString::fromUtf8(LanguageItems[tag].Caption));
    item->setObjectName(QString::fromLatin1(LanguageItems[tag].Name));
    item->setCheckable(true);
    item->setData(tag);
    item->setActionGroup(group);
    TTranslator::KeepUntranslated(item);
    connect(item, &QAction::triggered, this, [this, tag] { SetLanguage(tag); });
  }
}

void TFragorForm::ApplyLanguageAtStart() {
  TTranslator& translator = TTranslator::Instance();
  translator.SelectLanguage(QStringLiteral("en"));
  translator.TranslateComponent(this);
  translator.SelectLanguage(QString::fromStdString(FOptions.Language));
  CheckLanguageItem();
  translator.RetranslateComponent(this);
}

void TFragorForm::SetLanguage(int tag) {
  if (tag < 0 || tag >= static_cast<int>(LanguageCodes.size())) return;
  FOptions.Language = std::string(LanguageCodes[static_cast<std::size_t>(tag)]);
  CheckLanguageItem();
  TTranslator& translator = TTranslator::Instance();
  translator.SelectLanguage(QString::fromStdString(FOptions.Language));
  translator.RetranslateComponent(this);
  // What the window builds itself follows: day titles, cells, the queue
  // text and the tray's "All Profiles". The run text keeps its language
  // until the next run notification.
  UpdateScheduleColumns();
  RefreshProfileList();
  SetQueueCount(FQueuedCount);
  BuildTrayRunMenu();
}

void TFragorForm::CheckLanguageItem() {
  const QList<QAction*> items = mnuViewLanguage->actions();
  for (int tag = 0; tag < static_cast<int>(LanguageCodes.size()) && tag < items.size(); ++tag)
    if (LanguageCodes[static_cast<std::size_t>(tag)] == FOptions.Language)
      items[tag]->setChecked(true);
}
