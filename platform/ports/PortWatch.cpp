// The settling time both systems' watches share.
#include "platform/ports/PortWatch.h"

void TPortWatch::SetUpSettling() {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] {
        if (OnChange) {
            OnChange();
        }
    });
}

void TPortWatch::Changed() {
    if (!settle_.isActive()) {
        settle_.start();
    }
}
