// One contigra per user session. The first process takes the platform's
// single-instance guard and listens on a local socket; a second start
// finds the guard taken, asks the first through the socket to come to the
// front, and ends. The guard is taken before anything else of the program
// runs, so a second start touches neither the log file nor the settings.
#pragma once

#include <memory>

#include <QObject>

#include "SingleInstance.h"

class QLocalServer;

class TInstanceGuard final : public QObject {
  Q_OBJECT
 public:
  explicit TInstanceGuard(QObject* parent = nullptr);
  ~TInstanceGuard() override;

  // True when this process is the one instance (it then listens for
  // activation requests). False when another instance runs: that one has
  // been asked to come to the front, and this process should end.
  bool AcquireOrActivate();

 signals:
  // A second start asked this instance to restore itself.
  void activateRequested();

 private:
  void AcceptConnections();
  std::unique_ptr<plat::SingleInstance> guard_;
  QLocalServer* server_ = nullptr;
};

// The guard's name; also names the activation channel.
inline constexpr const char* InstanceName = "Contigra";
