#pragma once
// One desktop program per machine: the first holds an exclusive lock on "Mirvale.lock" in the
// data folder and listens on the local socket "MirvaleDesktop" beside it; a later start finds
// the lock taken, asks the first to come forward, and ends.
#include <QObject>
#include <QString>

class QLocalServer;

namespace mirvale {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // Takes the lock in folder (created when missing); IsFirst is false only when another copy
  // holds it.
  explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
  ~SingleInstance() override;

  bool IsFirst() const { return first_; }

  // For a later instance: tells the first to come forward, trying for up to waitMs while the
  // first starts listening. True when the message was delivered.
  bool AskFirstToRaise(int waitMs = 5000) const;

 signals:
  void raiseRequested();  // on the GUI thread, each time a later start asks

 private:
  QString lockPath_;
  QString serverPath_;
  int lockFd_ = -1;
  bool first_ = true;
  QLocalServer* server_ = nullptr;
};

}  // namespace mirvale
