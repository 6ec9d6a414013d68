#pragma once

// Tells when the machine's ports may have changed, at no cost while nothing happens: inotify
// watches (QFileSystemWatcher) on the port list's two roots, the device directory and the tty
// class directory. A burst of changes (an adapter's node, its links and their permissions, all
// within a few milliseconds) is reported once, a short settling time after its first change.

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>

class TPortWatch : public QObject {
public:
    static constexpr int kSettleMs = 200;

    explicit TPortWatch(QObject* parent = nullptr);

    // Watches the roots the port list reads now. Called again after each change: a root that
    // was replaced or set anew is watched again, and one that is missing is waited for through
    // its parent directory.
    void Watch();

    std::function<void()> OnChange;

private:
    void Changed();

    QFileSystemWatcher watcher_;
    QTimer settle_;
};
