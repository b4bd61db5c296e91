#include "Translator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <mutex>

#include "Profile.h"

namespace {

// Far above any real catalogue; a bigger file is not read at all.
constexpr qint64 MaxCatalogueBytes = 16 * 1024 * 1024;

std::optional<TMessageCatalogue> ReadCatalogue(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly) || file.size() > MaxCatalogueBytes) return std::nullopt;
  const QByteArray bytes = file.read(MaxCatalogueBytes + 1);
  if (bytes.size() > MaxCatalogueBytes) return std::nullopt;
  return ParseMoCatalogue({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                           static_cast<std::size_t>(bytes.size())});
}

std::string TranslateForModel(const std::string& english) {
  return TTranslator::Instance().TranslateText(QString::fromStdString(english)).toStdString();
}

QByteArray Key(QByteArray english) { return english.replace("\r\n", "\n"); }

}  // namespace

TTranslator::TTranslator() : QTranslator(QCoreApplication::instance()) {
  setObjectName(QStringLiteral("Translator"));
  folders_ = DefaultCatalogueFolders();
}

// The application object frees the translator; the model must not call
// into it afterwards.
TTranslator::~TTranslator() { SetTextTranslator(nullptr); }

TTranslator& TTranslator::Instance() {
  static TTranslator* instance = [] {
    auto* created = new TTranslator;  // owned by the application object
    QCoreApplication::installTranslator(created);
    SetTextTranslator(&TranslateForModel);
    created->SelectLanguage(SystemLanguage());
    return created;
  }();
  return *instance;
}

QStringList TTranslator::DefaultCatalogueFolders() {
  const QDir program(QCoreApplication::applicationDirPath());
  return {program.filePath(QStringLiteral("locale")),
          QDir::cleanPath(program.filePath(QStringLiteral("../share/contigra/locale"))),
          QDir::cleanPath(program.filePath(QStringLiteral("../locale")))};
}

void TTranslator::SetCatalogueFolders(const QStringList& folders) {
  std::unique_lock lock(mutex_);
  folders_ = folders;
}

QStringList TTranslator::CatalogueFolders() const {
  std::shared_lock lock(mutex_);
  return folders_;
}

bool TTranslator::SelectLanguage(const QString& code) {
  std::optional<TMessageCatalogue> found;
  const QStringList folders = CatalogueFolders();
  for (const QString& name : {code, code.left(2)}) {
    if (name.isEmpty()) continue;
    for (const QString& folder : folders) {
      found = ReadCatalogue(folder + QLatin1Char('/') + name +
                            QStringLiteral("/LC_MESSAGES/default.mo"));
      if (found) break;
    }
    if (found) break;
  }
  std::unique_lock lock(mutex_);
  language_ = code;
  catalogue_ = found ? std::move(*found) : TMessageCatalogue{};
  return found.has_value();
}

QString TTranslator::Language() const {
  std::shared_lock lock(mutex_);
  return language_;
}

QString TTranslator::SystemLanguage() {
  const QLocale system = QLocale::system();
  // The language the user reads messages in; QLocale fills in the usual
  // country when only a language is set ("de" gives de_DE).
  return QLocale(system.uiLanguages().value(0, system.name())).name();
}

QString TTranslator::Lookup(const QByteArray& english) const {
  std::shared_lock lock(mutex_);
  if (catalogue_.empty()) return {};
  const auto found = catalogue_.find(Key(english).toStdString());
  if (found == catalogue_.end()) return {};
  return QString::fromStdString(found->second)
      .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString TTranslator::TranslateText(const QString& english) const {
  const QString translated = Lookup(english.toUtf8());
  return translated.isNull() ? english : translated;
}

QString TTranslator::translate(const char*, const char* sourceText, const char*, int) const {
  return sourceText ? Lookup(QByteArray(sourceText)) : QString();
}

bool TTranslator::isEmpty() const {
  std::shared_lock lock(mutex_);
  return catalogue_.empty();
}
