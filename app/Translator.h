// The interface language: one process-wide translator that reads GNU
// gettext catalogues (text domain "default") and answers for Qt's tr(),
// for the model's TranslateText and for the main window's own texts.
//
// The key of every text is its English wording alone; Qt's context is
// ignored. Keys built with "\r\n" are looked up with "\n", and a
// translation's line breaks come back as "\n", the line break of Qt's
// widgets on every platform. Without a catalogue, or without an entry, the
// English text is the answer.
//
// Catalogues live in <folder>/<code>/LC_MESSAGES/default.mo; a code is
// looked up as it is and then by its first two characters ("ru_RU" finds
// "ru"). A catalogue that cannot be read or is not well-formed counts as
// missing.
#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>
#include <shared_mutex>

#include "MoCatalogue.h"

class TTranslator final : public QTranslator {
 public:
  // The process's translator, created at first use, installed on the
  // application and hooked into TranslateText. Its first language is the
  // system's.
  static TTranslator& Instance();

  // Where catalogues are looked for, first match wins. By default: the
  // program's folder + "/locale", then "../share/contigra/locale" (an
  // installed program) and "../locale" (the build tree) from there.
  void SetCatalogueFolders(const QStringList& folders);
  QStringList CatalogueFolders() const;
  static QStringList DefaultCatalogueFolders();

  // Makes the catalogue of `code` current; true when one was found. Without
  // one the English texts are shown. Safe while other threads translate.
  bool SelectLanguage(const QString& code);
  // The code last selected.
  QString Language() const;
  // The user's language as language_COUNTRY ("de_DE"), from the system's
  // locale settings.
  static QString SystemLanguage();

  // The translation of `english` in the current language, or `english`
  // (with its line breaks as given) when there is none.
  QString TranslateText(const QString& english) const;

  // Remembers the English of every caption, hint, column title and other
  // text of `root` and the objects below it, then shows each in the
  // current language. Objects marked with KeepUntranslated are left alone,
  // as are texts that are empty when this runs.
  void TranslateComponent(QObject* root) const;
  // Shows the texts remembered by TranslateComponent in the current
  // language again; English brings back the remembered texts themselves.
  void RetranslateComponent(QObject* root) const;
  // Texts of `object` that the program sets itself and that must not be
  // translated or restored (names, paths, live status texts).
  static void KeepUntranslated(QObject* object);
  // The same for every object `parent` will ever hold directly (a menu
  // rebuilt from names), without marking each one.
  static void KeepChildrenUntranslated(QObject* parent);

  // QTranslator: Qt's tr() lands here.
  QString translate(const char* context, const char* sourceText, const char* disambiguation,
                    int n) const override;
  bool isEmpty() const override;

 private:
  TTranslator();
  ~TTranslator() override;
  // The translation of the UTF-8 key, null when there is none.
  QString Lookup(const QByteArray& english) const;

  mutable std::shared_mutex mutex_;  // run threads may translate too
  TMessageCatalogue catalogue_;
  QString language_;
  QStringList folders_;
};

// Shorthand for the window's texts.
inline QString Tr(const char* english) {
  return TTranslator::Instance().TranslateText(QString::fromUtf8(english));
}
