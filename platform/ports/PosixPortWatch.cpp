// The watch on Linux: inotify (QFileSystemWatcher) on the tty class directory and the device
// directory. The kernel makes and removes an adapter's node through devtmpfs, which raises the
// events (sysfs raises none for new devices), and links such as socat's are made there too.

#include "platform/ports/PortWatch.h"

#include "platform/ports/PortNames.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

struct TPortWatch::Source {
    QFileSystemWatcher watcher;
};

TPortWatch::TPortWatch(QObject* parent) : QObject(parent), source_(std::make_unique<Source>()) {
    SetUpSettling();
    connect(&source_->watcher, &QFileSystemWatcher::directoryChanged, this, [this] { Changed(); });
}

TPortWatch::~TPortWatch() = default;

void TPortWatch::Watch() {
    QFileSystemWatcher& watcher = source_->watcher;
    QStringList wanted;
    for (const std::string& root : {ports::TtyClassRoot(), ports::DevRoot()}) {
        const QString path = QString::fromStdString(root);
        // A missing root shows up again as a change of its parent directory.
        wanted << (QFileInfo(path).isDir() ? path : QFileInfo(path).absolutePath());
    }
    wanted.removeDuplicates();
    const QStringList watched = watcher.directories();
    for (const QString& path : watched) {
        if (!wanted.contains(path)) {
            watcher.removePath(path);
        }
    }
    for (const QString& path : wanted) {
        if (!watched.contains(path) && QFileInfo(path).isDir()) {
            watcher.addPath(path);
        }
    }
}
