#pragma once
// A session that ends sends the desktop program SIGTERM (SIGHUP, or SIGINT at a terminal): the
// program then leaves its event loop and closes as when its window is closed, so its notice
// socket and lock go with it.
class QObject;

namespace mirvale {

// From now on those signals make the application quit; owner holds the watcher.
void QuitOnEndingSignals(QObject* owner);

}  // namespace mirvale
