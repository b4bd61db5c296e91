// The interface language: the switch while the program runs, the language
// at start, the catalogues' coverage of every English text, and catalogue
// files that are missing or damaged.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QDockWidget>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

#include "AppTestSupport.h"
#include "DialogTestSupport.h"
#include "Dialogs.h"
#include "MoCatalogue.h"
#include "ProductInfo.h"
#include "Translator.h"

using apptest::TAppFixture;

namespace {

const char* const Catalogues[] = {"de", "hu", "it", "ko", "ro", "ru", "zh"};

// The catalogues the build compiled, for the duration of a test.
class ScopedBuildCatalogues {
 public:
  ScopedBuildCatalogues() : previous_(TTranslator::Instance().CatalogueFolders()) {
    TTranslator::Instance().SetCatalogueFolders({QStringLiteral(CONTIGRA_LOCALE_DIR)});
  }
  explicit ScopedBuildCatalogues(const QString& folder)
      : previous_(TTranslator::Instance().CatalogueFolders()) {
    TTranslator::Instance().SetCatalogueFolders({folder});
  }
  ~ScopedBuildCatalogues() {
    TTranslator::Instance().SetCatalogueFolders(previous_);
    TTranslator::Instance().SelectLanguage(QStringLiteral("en"));
  }

 private:
  QStringList previous_;
};

QByteArray CatalogueBytes(const char* language) {
  QFile file(QStringLiteral(CONTIGRA_LOCALE_DIR "/%1/LC_MESSAGES/default.mo")
                 .arg(QLatin1String(language)));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TMessageCatalogue BuiltCatalogue(const char* language) {
  const QByteArray bytes = CatalogueBytes(language);
  auto parsed = ParseMoCatalogue({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                  static_cast<std::size_t>(bytes.size())});
  return parsed ? std::move(*parsed) : TMessageCatalogue{};
}

std::unique_ptr<TProfile> TwoFileSchedule() {
  auto profile = std::make_unique<TProfile>();
  profile->SetName("Mail");
  profile->Files = {"C:\\f0.dat", "C:\\f1.dat"};
  profile->SchedulerActive = true;
  profile->SetStart(EncodeTime(18, 30));
  profile->SetDay(0, true);
  return profile;
}

// Every text the window or dialog shows through its controls, in a fixed
// order: captions, hints, titles, column titles, tabs and list items, each
// tagged with where it is. Values the user edits (line edits, spin boxes)
// are not texts of the program.
struct TShown {
  QString Where;
  QString Text;
};

void AddListTexts(QObject* object, const QString& where, QList<TShown>& shown) {
  if (auto* view = qobject_cast<QAbstractItemView*>(object); view && view->model()) {
    for (int i = 0; i < view->model()->columnCount(); ++i)
      shown.append({where + QStringLiteral(".column%1").arg(i),
                    view->model()->headerData(i, Qt::Horizontal).toString()});
  } else if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
    for (int i = 0; i < tabs->count(); ++i)
      shown.append({where + QStringLiteral(".tab%1").arg(i), tabs->tabText(i)});
  } else if (auto* combo = qobject_cast<QComboBox*>(object); combo && !combo->isEditable()) {
    for (int i = 0; i < combo->count(); ++i)
      shown.append({where + QStringLiteral(".item%1").arg(i), combo->itemText(i)});
  }
}

QList<TShown> ShownTexts(QWidget* root) {
  QList<TShown> shown;
  QList<QObject*> objects{root};
  objects += root->findChildren<QObject*>();
  for (QObject* object : objects) {
    auto* action = qobject_cast<QAction*>(object);
    if (!object->isWidgetType() && !action) continue;
    if (action && action->menu()) continue;  // the menu's title
    if (auto* button = qobject_cast<QToolButton*>(object); button && button->defaultAction())
      continue;
    const QString where = QString::fromLatin1(object->metaObject()->className()) +
                          QLatin1Char(':') + object->objectName();
    for (const char* name : {"windowTitle", "title", "text", "toolTip", "statusTip",
                             "placeholderText", "specialValueText"}) {
      if (qstrcmp(name, "text") == 0 &&
          (qobject_cast<QLineEdit*>(object) || qobject_cast<QAbstractSpinBox*>(object)))
        continue;
      const QVariant value = object->property(name);
      if (value.typeId() == QMetaType::QString && !value.toString().isEmpty())
        shown.append({where + QLatin1Char('.') + QLatin1String(name), value.toString()});
    }
    AddListTexts(object, where, shown);
  }
  return shown;
}

// The texts that read the same in English and in `language`, although
// they are words and no catalogue entry says so.
QStringList Untranslated(const QList<TShown>& english, const QList<TShown>& translated,
                         const char* language, const QStringList& data) {
  const TMessageCatalogue catalogue = BuiltCatalogue(language);
  QStringList left;
  if (english.size() != translated.size()) return {QStringLiteral("the controls differ")};
  static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
  for (int i = 0; i < english.size(); ++i) {
    const QString& text = english[i].Text;
    if (translated[i].Text != text || !text.contains(word) || data.contains(text)) continue;
    const auto entry = catalogue.find(text.toStdString());
    if (entry != catalogue.end() && QString::fromStdString(entry->second) == text) continue;
    left << english[i].Where + QStringLiteral(" = ") + text;
  }
  return left;
}

// Opens a dialog through `open`, returns its texts and closes it.
QList<TShown> DialogTexts(const std::function<void()>& open) {
  QList<TShown> shown;
  dlgtest::WhenModal([&](QWidget* modal) {
    shown = ShownTexts(modal);
    static_cast<QDialog*>(modal)->reject();
  });
  open();
  return shown;
}

// The C++ string literal starting at `at` (after its opening quote),
// escapes resolved; `at` ends after the closing quote.
QString ReadLiteral(const QString& source, qsizetype& at) {
  QString text;
  while (at < source.size() && source[at] != QLatin1Char('"')) {
    QChar c = source[at++];
    if (c == QLatin1Char('\\') && at < source.size()) {
      const QChar escaped = source[at++];
      c = escaped == QLatin1Char('n')   ? QChar('\n')
          : escaped == QLatin1Char('r') ? QChar('\r')
          : escaped == QLatin1Char('t') ? QChar('\t')
                                        : escaped;
    }
    text += c;
  }
  ++at;
  return text;
}

// The English texts handed to the translator as literals in `source`,
// adjacent literals joined as the compiler joins them.
QStringList TranslatedLiterals(const QString& source) {
  static const QRegularExpression call(
      QStringLiteral(R"(\b(Tr|tr|TranslateText|QT_TR_NOOP|WithLineBreaks)\(\s*")"));
  static const QRegularExpression between(QStringLiteral(R"(\G\s*")"));
  QStringList texts;
  for (auto match = call.globalMatch(source); match.hasNext();) {
    qsizetype at = match.next().capturedEnd();
    QString text = ReadLiteral(source, at);
    for (auto next = between.match(source, at); next.hasMatch(); next = between.match(source, at)) {
      at = next.capturedEnd();
      text += ReadLiteral(source, at);
    }
    texts << text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  }
  return texts;
}

}  // namespace

TEST(Language, DeutschRetranslatesTheWindowAndEnglishComesBackFromTheRememberedTexts) {
  ScopedBuildCatalogues catalogues;
  TAppFixture app;
  TProfileList profiles;
  profiles.push_back(TwoFileSchedule());
  app.Open(profiles);
  TFragorForm& form = app.Form();
  const QList<TShown> english = ShownTexts(&form);
  auto menu = [&](const char* name) { return form.findChild<QMenu*>(QLatin1String(name)); };
  QTreeWidget* list = app.List();

  app.Act("mnuDeutsch")->trigger();

  EXPECT_EQ(form.Options().Language, "de_DE");
  EXPECT_EQ(menu("mnuFile")->title(), "&Datei");
  EXPECT_EQ(menu("mnuViewLanguage")->title(), "Sprache");
  EXPECT_EQ(app.Act("actProfileAdd")->text(), "Hinzufügen...");
  EXPECT_EQ(app.Act("actProfileAdd")->toolTip(), "Fügt ein neues Profil hinzu");
  EXPECT_EQ(form.findChild<QDockWidget*>("pnlProfiles")->windowTitle(), "Profile");
  EXPECT_EQ(list->headerItem()->text(1), "Dateien");
  EXPECT_EQ(list->headerItem()->text(5), "Mo");
  EXPECT_EQ(list->topLevelItem(0)->text(1), "2 Dateien");
  EXPECT_EQ(list->topLevelItem(0)->text(2), "Anfang");
  EXPECT_EQ(list->topLevelItem(0)->text(0), "Mail");
  EXPECT_EQ(app.StatusText(1), "Warteschlange: 0 Profil(e)");
  EXPECT_EQ(menu("popuptrayRun")->actions().front()->text(), "Alle Profile");
  EXPECT_EQ(menu("popuptrayRun")->actions().back()->text(), "Mail");
  EXPECT_EQ(form.windowTitle(), "Contigra");
  for (QAction* item : menu("mnuViewLanguage")->actions())
    EXPECT_EQ(item->isChecked(), item->objectName() == "mnuDeutsch")
        << item->objectName().toStdString();
  EXPECT_EQ(menu("mnuViewLanguage")->actions().at(1)->text(), "Русский");

  // Dialogs opened now come up in German.
  const QList<TShown> options = DialogTexts([&] { app.Act("actFileOptions")->trigger(); });
  ASSERT_FALSE(options.isEmpty());
  EXPECT_EQ(options.front().Text, "Optionen");

  app.Act("mnuEnglish")->trigger();
  const QList<TShown> back = ShownTexts(&form);
  ASSERT_EQ(back.size(), english.size());
  for (int i = 0; i < english.size(); ++i)
    EXPECT_EQ(back[i].Text, english[i].Text) << english[i].Where.toStdString();
  EXPECT_EQ(list->topLevelItem(0)->text(1), "2 files");
  EXPECT_EQ(app.StatusText(1), "In queue: 0 profile(s)");
  EXPECT_EQ(form.Options().Language, "en_US");
}

TEST(Language, StartsInTheLanguageOfTheSettingsWhenItIsExactlyOneOfTheEightCodes) {
  ScopedBuildCatalogues catalogues;
  const struct {
    const char* Setting;
    const char* Saved;
    const char* Ticked;
    const char* FileMenu;
  } cases[] = {
      {"ko_KO", "ko_KO", "mnuKorean", "파일(&F)"}, {"KO_ko", "en_US", "mnuEnglish", "&File"},
      {"ko_KR", "en_US", "mnuEnglish", "&File"},   {"ru_RU", "ru_RU", "mnuRussian", "&Файл"},
      {"zh", "zh", "mnuChinese", "文件(&F)"},      {"", "en_US", "mnuEnglish", "&File"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Setting);
    TAppFixture app;
    TOptions options = TAppFixture::DefaultOptions();
    options.Language = c.Setting;
    app.Open({}, options);
    EXPECT_EQ(app.Form().findChild<QMenu*>("mnuFile")->title(), QString::fromUtf8(c.FileMenu));
    EXPECT_TRUE(app.Act(c.Ticked)->isChecked());
    app.Close();
    TOptions saved;
    app.LoadSaved(saved);
    EXPECT_EQ(saved.Language, c.Saved);
  }
}

TEST(Language, ACodeWithoutACatalogueShowsEnglish) {
  QTemporaryDir empty;
  ScopedBuildCatalogues catalogues(empty.path());
  TAppFixture app;
  TOptions options = TAppFixture::DefaultOptions();
  options.Language = "de_DE";
  app.Open({}, options);
  EXPECT_EQ(app.Form().findChild<QMenu*>("mnuFile")->title(), "&File");
  EXPECT_EQ(app.StatusText(1), "In queue: 0 profile(s)");
  EXPECT_TRUE(app.Act("mnuDeutsch")->isChecked());
  EXPECT_EQ(QCoreApplication::translate("Any", "Files"), "Files");
}

TEST(Language, LookupIgnoresQtsContextFallsBackToTheLanguageAndMatchesCarriageReturns) {
  ScopedBuildCatalogues catalogues;
  TTranslator& translator = TTranslator::Instance();
  EXPECT_TRUE(translator.SelectLanguage(QStringLiteral("ru_RU")));  // finds ru
  EXPECT_EQ(QCoreApplication::translate("TformOptions", "Options"), "Настройки");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Отмена");
  EXPECT_EQ(translator.TranslateText(QStringLiteral(
                "Scheduled tasks will not be executed after exit.\r\nDo you want to exit?")),
            "После выхода запланированные задания не будут выполняться.\nВыйти из программы?");
  EXPECT_EQ(TranslateText("untitled"), "без имени");
  EXPECT_EQ(translator.TranslateText(QStringLiteral("no such text")), "no such text");
  EXPECT_FALSE(translator.SelectLanguage(QStringLiteral("en_US")));
  EXPECT_EQ(TranslateText("untitled"), "untitled");
}

TEST(Language, DamagedCataloguesAreRefusedAndEnglishIsShown) {
  const QByteArray good = CatalogueBytes("de");
  ASSERT_GT(good.size(), 1000);
  auto word = [](QByteArray& bytes, int offset, quint32 value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
  };
  auto read = [](const QByteArray& bytes, int offset) {
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<quint8>(bytes[offset + i]);
    return value;
  };
  const int originals = static_cast<int>(read(good, 12));
  const int firstString = static_cast<int>(read(good, originals + 4));
  const struct {
    const char* What;
    std::function<void(QByteArray&)> Damage;
  } cases[] = {
      {"empty file", [](QByteArray& b) { b.clear(); }},
      {"header cut short", [](QByteArray& b) { b.truncate(20); }},
      {"body cut short", [](QByteArray& b) { b.truncate(b.size() / 2); }},
      {"wrong magic", [&](QByteArray& b) { word(b, 0, 0x12345678); }},
      {"unknown major revision", [&](QByteArray& b) { word(b, 4, 0x00020000); }},
      {"huge count", [&](QByteArray& b) { word(b, 8, 0xffffffff); }},
      {"table beyond the end", [&](QByteArray& b) { word(b, 12, 0xfffffff0); }},
      {"string beyond the end", [&](QByteArray& b) { word(b, originals + 4, 0x7fffffff); }},
      {"length beyond the end", [&](QByteArray& b) { word(b, originals, 0xfffffffe); }},
      {"string without terminator",
       [&](QByteArray& b) { b[firstString + static_cast<int>(read(b, originals))] = 'x'; }},
      {"one string named a thousand times over",
       [&](QByteArray& b) {
         // Every pair names the whole body: cheap to write, costly to copy.
         const int count = 100000;
         b = QByteArray(28 + count * 16 + 65536, 'a');
         word(b, 0, 0x950412de);
         word(b, 4, 0);
         word(b, 8, count);
         word(b, 12, 28);
         word(b, 16, 28 + count * 8);
         for (int i = 0; i < 2 * count; ++i) {
           word(b, 28 + i * 8, 65535);
           word(b, 28 + i * 8 + 4, static_cast<quint32>(b.size() - 65536));
         }
         b[b.size() - 1] = '\0';
       }},
  };
  QTemporaryDir dir;
  ScopedBuildCatalogues catalogues(dir.path());
  QDir(dir.path()).mkpath(QStringLiteral("de/LC_MESSAGES"));
  const QString file = dir.filePath(QStringLiteral("de/LC_MESSAGES/default.mo"));
  auto install = [&](const QByteArray& bytes) {
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes);
  };
  install(good);
  ASSERT_TRUE(TTranslator::Instance().SelectLanguage(QStringLiteral("de_DE")));
  ASSERT_EQ(TTranslator::Instance().TranslateText(QStringLiteral("Files")), "Dateien");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    QByteArray bytes = good;
    c.Damage(bytes);
    install(bytes);
    EXPECT_FALSE(TTranslator::Instance().SelectLanguage(QStringLiteral("de_DE")));
    EXPECT_EQ(TTranslator::Instance().TranslateText(QStringLiteral("Files")), "Files");
    EXPECT_EQ(QCoreApplication::translate("Any", "Files"), "Files");
  }
}

TEST(Language, BigEndianCataloguesAreRead) {
  QByteArray bytes = CatalogueBytes("de");
  ASSERT_GT(bytes.size(), 28);
  auto read = [&](int offset) {
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<quint8>(bytes[offset + i]);
    return static_cast<int>(value);
  };
  auto swap = [&](int offset) { std::reverse(bytes.begin() + offset, bytes.begin() + offset + 4); };
  const int count = read(8), originals = read(12), translations = read(16);
  const int hashSize = read(20), hashOffset = read(24);
  for (int i = 0; i < 2 * count; ++i) {
    swap(originals + 4 * i);
    swap(translations + 4 * i);
  }
  for (int i = 0; i < hashSize; ++i) swap(hashOffset + 4 * i);
  for (int i = 0; i < 7; ++i) swap(4 * i);
  const auto parsed = ParseMoCatalogue({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                        static_cast<std::size_t>(bytes.size())});
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, BuiltCatalogue("de"));
  EXPECT_EQ(parsed->at("Files"), "Dateien");
}

TEST(Language, EveryTextTheSourcesTranslateHasAnEntryInEveryCatalogue) {
  QStringList texts;
  for (const char* folder : {"app", "dialogs", "model"}) {
    QDirIterator files(QStringLiteral(CONTIGRA_SOURCE_DIR "/") + QLatin1String(folder),
                       {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
      QFile source(files.next());
      ASSERT_TRUE(source.open(QIODevice::ReadOnly));
      texts += TranslatedLiterals(QString::fromUtf8(source.readAll()));
    }
  }
  texts.removeDuplicates();
  ASSERT_GT(texts.size(), 100);
  for (const char* language : Catalogues) {
    const TMessageCatalogue catalogue = BuiltCatalogue(language);
    ASSERT_FALSE(catalogue.empty()) << language;
    for (const QString& text : texts)
      EXPECT_TRUE(catalogue.count(text.toStdString()))
          << language << ": \"" << text.toStdString() << '"';
  }
}

TEST(Language, NoWordOfTheWindowOrTheDialogsStaysEnglishInAnyCatalogue) {
  ScopedBuildCatalogues catalogues;
  // Names, addresses and the product's own texts read the same everywhere.
  const QStringList data = {"Contigra",
                            "Mail",
                            "C:\\f0.dat",
                            "Deutsch",
                            "Italian",
                            "Korean",
                            "Chinese",
                            "Hungarian",
                            "Romanian",
                            "English",
                            QString::fromUtf8(kProductCopyright),
                            QString::fromUtf8(kProductAuthors),
                            QString::fromUtf8(kProductHomePage),
                            QString::fromUtf8(kProductSupportMail)};
  struct TScreen {
    const char* Name;
    std::function<QList<TShown>(TAppFixture&)> Texts;
  };
  auto dialog = [](std::function<void(QWidget*)> show) {
    return [show](TAppFixture& app) { return DialogTexts([&] { show(&app.Form()); }); };
  };
  const TScreen screens[] = {
      {"main window", [](TAppFixture& app) { return ShownTexts(&app.Form()); }},
      {"options", dialog([](QWidget* parent) {
         TOptions options = TAppFixture::DefaultOptions();
         ShowOptions(options, parent);
       })},
      {"profile properties", dialog([](QWidget* parent) {
         std::unique_ptr<TProfile> profile = TwoFileSchedule();
         ShowProfileProps(*profile, parent);
       })},
      {"wizard", dialog([](QWidget* parent) {
         TProfileList found;
         ShowWizard({}, found, parent);
       })},
      {"analyze", dialog([](QWidget* parent) {
         TFileRegionList found;
         ShowAnalyze(found, parent);
       })},
      {"about", dialog([](QWidget* parent) { ShowAbout("Contigra", "beta", parent); })},
  };
  const struct {
    const char* Code;
    const char* Item;
  } languages[] = {{"de", "mnuDeutsch"}, {"hu", "mnuHungarian"}, {"it", "mnuItalian"},
                   {"ko", "mnuKorean"},  {"ro", "mnuRomanian"},  {"ru", "mnuRussian"},
                   {"zh", "mnuChinese"}};
  for (const TScreen& screen : screens) {
    TAppFixture app;
    TProfileList profiles;
    profiles.push_back(TwoFileSchedule());
    app.Open(profiles);
    app.Gate.Open();  // the file list measures its files
    const QList<TShown> english = screen.Texts(app);
    for (const auto& language : languages) {
      SCOPED_TRACE(std::string(language.Code) + ", " + screen.Name);
      app.Act(language.Item)->trigger();
      const QStringList left = Untranslated(english, screen.Texts(app), language.Code, data);
      EXPECT_TRUE(left.isEmpty()) << left.join(QLatin1Char('\n')).toStdString();
    }
  }
}
