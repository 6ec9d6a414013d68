#include "app/PortWatch.h"

#include "platform/ports/PortNames.h"

#include <QFileInfo>

TPortWatch::TPortWatch(QObject* parent) : QObject(parent) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] {
        if (OnChange) {
            OnChange();
        }
    });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Changed(); });
}

void TPortWatch::Watch() {
    QStringList wanted;
    for (const std::string& root : {ports::TtyClassRoot(), ports::DevRoot()}) {
        const QString path = QString::fromStdString(root);
        // A missing root shows up again as a change of its parent directory.
        wanted << (QFileInfo(path).isDir() ? path : QFileInfo(path).absolutePath());
    }
    wanted.removeDuplicates();
    const QStringList watched = watcher_.directories();
    for (const QString& path : watched) {
        if (!wanted.contains(path)) {
            watcher_.removePath(path);
        }
    }
    for (const QString& path : wanted) {
        if (!watched.contains(path) && QFileInfo(path).isDir()) {
            watcher_.addPath(path);
        }
    }
}

void TPortWatch::Changed() {
    // The first change of a burst starts the settling time; the rest fall into it.
    if (!settle_.isActive()) {
        settle_.start();
    }
}
