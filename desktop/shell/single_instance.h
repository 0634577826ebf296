#pragma once
// One desktop program per account: the first holds an exclusive lock on "Mirvale.<uid>.lock" in
// the data folder and listens on the local socket "MirvaleDesktop.<uid>" beside it; a later
// start of the same account finds the lock taken, asks the first to come forward, and ends.
// Members of the operators' group share the folder, so each account's names are its own: one
// member's copy, running or killed, never keeps another's out.
#include <QObject>
#include <QString>

class QLocalServer;

namespace mirvale {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // Takes the lock in folder (created when missing); IsFirst is false only when another copy
  // of this account holds it.
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
