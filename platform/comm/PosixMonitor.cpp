// The monitor thread of a POSIX device: sleeps in poll() until the terminal has data, takes
// output, hangs up or the device's state changes (the wake eventfd), and polls where the
// driver can tell nothing by itself: the serial counters and modem lines while their events
// are asked for, the input count while unread data keeps POLLIN raised, the output queue of
// a write that is draining.

#include "platform/comm/PosixDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace comm::posix {
namespace {

constexpr int kTickMs = 20; // counter and modem-line polling

constexpr DWORD kLineEvents = EV_ERR | EV_BREAK | EV_CTS | EV_DSR | EV_RLSD | EV_RING;

} // namespace

bool PosixDevice::PreparePoll(pollfd& device, int& timeout) {
    std::lock_guard lock(mutex_);
    if (closed_) {
        return false;
    }
    device = {-1, 0, 0};
    timeout = -1;
    if (gone_) {
        return true;
    }
    device.fd = fd_.Get();
    // Unread data keeps POLLIN raised; while some waits, its count is polled.
    if (inCount_ == 0) {
        device.events |= POLLIN;
    }
    if (writes_.WantsOutput()) {
        device.events |= POLLOUT;
    }
    const bool lineWatched = (events_.Mask() & kLineEvents) != 0 && readings_.Watchable();
    if (inCount_ > 0 || lineWatched) {
        timeout = kTickMs;
    }
    const int recheck = writes_.RecheckMs(Clock::now());
    if (recheck >= 0) {
        timeout = timeout < 0 ? recheck : std::min(timeout, recheck);
    }
    return true;
}

void PosixDevice::Monitor() {
    for (;;) {
        pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {-1, 0, 0}};
        int timeout = -1;
        if (!PreparePoll(fds[1], timeout)) {
            return;
        }
        const int ready = poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
        }
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            const ssize_t ignored = ::read(wake_.Get(), &count, sizeof count);
            (void)ignored;
        }
        std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        if (gone_) {
            continue;
        }
        if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            Gone();
            continue;
        }
        DWORD events = UpdateInput();
        AdvanceWrites();
        events |= UpdateLine(true);
        if (!gone_) {
            events_.Post(events);
        }
    }
}

} // namespace comm::posix
