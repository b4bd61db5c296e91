// Helpers for driving real dialogs on Qt's offscreen platform: controls by
// objectName, modal windows from the event loop, clicks as a user makes
// them, and a default locale for one test.
#pragma once

#include <functional>
#include <stdexcept>

#include <QByteArray>
#include <QLocale>
#include <QObject>
#include <QString>

class QAbstractButton;
class QAbstractItemView;
class QHeaderView;
class QModelIndex;
class QWidget;

namespace dlgtest {

// The child of `root` named `name`; throws (failing the test with the name)
// when there is none or it has another type.
template <class T>
T* Child(const QObject* root, const QString& name) {
  T* found = root->findChild<T*>(name);
  if (!found) throw std::logic_error("no control named " + name.toStdString());
  return found;
}

// Runs `step` on the next modal window to appear above the one active now,
// once it is visible. Gives up with a test failure after five seconds.
void WhenModal(std::function<void(QWidget*)> step);

// A left click in the middle of `button`.
void Click(QAbstractButton* button);
// A left click on the title of `section`.
void ClickHeader(QHeaderView* header, int section);
// A left click at `x` pixels into row `index`'s rectangle in `view`.
void ClickRow(QAbstractItemView* view, const QModelIndex& index, int x);

// Makes `locale` the default for the scope.
class ScopedLocale {
 public:
  explicit ScopedLocale(const QLocale& locale) : previous_(QLocale()) { QLocale::setDefault(locale); }
  ~ScopedLocale() { QLocale::setDefault(previous_); }
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;

 private:
  QLocale previous_;
};

// Sets an environment variable for the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
    qputenv(name, value);
  }
  ~ScopedEnv() {
    if (had_) qputenv(name_, old_);
    else qunsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  QByteArray old_;
  bool had_;
};

}  // namespace dlgtest
