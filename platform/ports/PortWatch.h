#pragma once

// Tells when the machine's ports may have changed, at no cost while nothing happens: Linux
// watches the port list's two directories through inotify (PosixPortWatch.cpp), Windows the
// serial device map of the registry (WindowsPortWatch.cpp). A burst of changes (an adapter's
// node, its links and their permissions, or a driver's values, all within a few milliseconds)
// is reported once, a short settling time after its first change, on the thread that owns the
// object.

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class TPortWatch : public QObject {
public:
    static constexpr int kSettleMs = 200;

    explicit TPortWatch(QObject* parent = nullptr);
    ~TPortWatch() override;

    // Watches the sources the port list reads now. Called again after each change: a source that
    // was replaced or made anew is watched again, and one that is missing is waited for through
    // its parent.
    void Watch();

    std::function<void()> OnChange;

private:
    struct Source; // the system's notification, in the system's file

    void SetUpSettling();
    // A change the source saw: the first one of a burst starts the settling time.
    void Changed();

    QTimer settle_;
    std::unique_ptr<Source> source_;
};
