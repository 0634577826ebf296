#include "desktop/shell/single_instance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "desktop/shell/remove_at_exit.h"

namespace mirvale {
namespace {

constexpr char kRaiseMessage[] = "raise\n";

}  // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent),
      lockPath_(QDir(folder).filePath(QStringLiteral("Mirvale.%1.lock").arg(geteuid()))),
      serverPath_(QDir(folder).filePath(QStringLiteral("MirvaleDesktop.%1").arg(geteuid()))) {
  QDir().mkpath(folder);
  // Never through a link, and only a file of this account's: another member's file at the name
  // counts as no lock at all.
  int fd = open(lockPath_.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
  struct stat found {};
  if (fd >= 0 && (fstat(fd, &found) != 0 || !S_ISREG(found.st_mode) || found.st_uid != geteuid())) {
    close(fd);
    fd = -1;
  }
  if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    first_ = false;
    return;
  }
  // A lock file that cannot be made at all (no right to the data folder) must not keep the
  // program from starting: this copy goes on as the first, without the guard.
  lockFd_ = fd;
  // A socket file left by a copy that crashed is stale: the lock says nobody else listens.
  QLocalServer::removeServer(serverPath_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (server_->listen(serverPath_)) RemoveAtExit(server_->fullServerName().toStdString());
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      connect(client, &QLocalSocket::readyRead, this, [this, client] {
        if (client->readAll().startsWith("raise")) emit raiseRequested();
      });
    }
  });
}

SingleInstance::~SingleInstance() {
  if (server_) {
    ForgetAtExit(server_->fullServerName().toStdString());
    server_->close();
  }
  if (lockFd_ >= 0) close(lockFd_);  // releases the lock; the file stays for the next start
}

bool SingleInstance::AskFirstToRaise(int waitMs) const {
  QElapsedTimer clock;
  clock.start();
  do {
    QLocalSocket socket;
    socket.connectToServer(serverPath_);
    if (socket.waitForConnected(500)) {
      socket.write(kRaiseMessage);
      bool sent = socket.waitForBytesWritten(1000);
      socket.disconnectFromServer();
      return sent;
    }
    QThread::msleep(100);
  } while (clock.elapsed() < waitMs);
  return false;
}

}  // namespace mirvale
