// A real main window on Qt's offscreen platform over simulated volumes and
// a fixed clock, with its settings in a temporary folder; a gate that holds
// runs inside the engine until the test lets them go.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QString>
#include <QTemporaryDir>

#include "ConfigFile.h"
#include "FragorForm.h"
#include "SimPlatform.h"

class QAction;
class QTreeWidget;

namespace apptest {

// Pumps events until `done` holds; false after `ms` milliseconds.
bool WaitUntil(const std::function<bool()>& done, int ms = 5000);

// Blocks every run thread that reaches the engine's first control request
// until Open. Counts the threads waiting.
class TGate {
 public:
  void Wait();
  void Open();
  int Waiting();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  int waiting_ = 0;
};

// 2026-12-11 (a Friday) 10:00 unless told otherwise.
TDateTime FixedNow();

class TAppFixture {
 public:
  TAppFixture();
  ~TAppFixture();

  // A profile over one fragmented file of the sim volume C: (created on
  // first use per name) so that its run reaches the gate.
  static std::unique_ptr<TProfile> FileProfile(const std::string& name, const std::string& file);
  // Writes config.cfg with `profiles` and `options`, then opens the window.
  void Open(const TProfileList& profiles = {}, const TOptions& options = DefaultOptions());
  static TOptions DefaultOptions();
  // Closes the window (destroying it saves the settings) after the gate
  // opened and every run has ended.
  void Close();

  TFragorForm& Form() { return *form_; }
  QTreeWidget* List();
  QAction* Act(const char* name);
  // Whether `name` is enabled after the idle update ran.
  bool Enabled(const char* name);
  QString StatusText(int panel);
  // Selects exactly `rows` and lets the idle update of the commands run.
  void Select(std::initializer_list<int> rows);
  // config.cfg as written by the window.
  std::string ConfigPath() const;
  TProfileList LoadSaved(TOptions& options) const;

  sim::ScopedSimPlatform Sim;
  TGate Gate;
  TDateTime Clock = FixedNow();
  // Questions the window asked; the answer is AnswerYes.
  std::vector<QString> Questions;
  bool AnswerYes = true;

 private:
  QTemporaryDir dir_;
  std::unique_ptr<TFragorForm> form_;
  TClock previousClock_;
};

}  // namespace apptest
