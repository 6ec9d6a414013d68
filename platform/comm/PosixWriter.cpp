#include "platform/comm/PosixWriter.h"

#include "platform/comm/PosixMapping.h"

#include <algorithm>
#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace comm::posix {
namespace {

constexpr int kDrainMs = 2; // checking the output queue of a write that is draining

} // namespace

void WriteQueue::Add(const BYTE* data, DWORD count, std::optional<Clock::time_point> deadline,
                     std::chrono::nanoseconds characterTime, std::shared_ptr<Completion> done) {
    PendingWrite write;
    write.done = std::move(done);
    write.data.assign(data, data + count);
    write.deadline = deadline;
    write.lineTime = characterTime * count;
    writes_.push_back(std::move(write));
}

WriteQueue::Progress WriteQueue::Advance() {
    Progress progress;
    while (!writes_.empty()) {
        PendingWrite& write = writes_.front();
        const Handed handed = HandSome(write);
        if (handed == Handed::Gone) {
            progress.gone = true;
            return progress;
        }
        if (handed == Handed::Failed) {
            write.done->Finish(ERROR_GEN_FAILURE, DWORD(write.written));
            writes_.pop_front();
            continue;
        }
        if (write.written == write.data.size() && OutputEmpty(write, Clock::now())) {
            progress.events |= Finish(ERROR_SUCCESS, write.written);
            continue;
        }
        if (write.deadline && Clock::now() >= *write.deadline) {
            // The write time-out ends it: what has left the queue counts as sent.
            int queued = 0;
            if (ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued < 0) {
                queued = 0;
            }
            const std::size_t sent =
                write.written - std::min<std::size_t>(write.written, std::size_t(queued));
            tcflush(fd_, TCOFLUSH);
            progress.events |= Finish(ERROR_SUCCESS, sent);
            continue;
        }
        break;
    }
    return progress;
}

void WriteQueue::FinishAll(DWORD error) {
    for (auto& write : writes_) {
        write.done->Finish(error, DWORD(write.written));
    }
    writes_.clear();
}

bool WriteQueue::WantsOutput() const {
    return !writes_.empty() && writes_.front().written < writes_.front().data.size();
}

int WriteQueue::RecheckMs(Clock::time_point now) const {
    if (writes_.empty()) {
        return -1;
    }
    const auto& deadline = writes_.front().deadline;
    if (!deadline) {
        return kDrainMs;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - now);
    return int(std::clamp<long long>(left.count(), 0, kDrainMs));
}

WriteQueue::Handed WriteQueue::HandSome(PendingWrite& write) {
    while (write.written < write.data.size()) {
        const ssize_t n =
            ::write(fd_, write.data.data() + write.written, write.data.size() - write.written);
        if (n > 0) {
            write.written += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return IsGone(errno) ? Handed::Gone : Handed::Failed;
        }
        break;
    }
    return Handed::Some;
}

bool WriteQueue::OutputEmpty(PendingWrite& write, Clock::time_point now) const {
    int pending = 0;
    if (ioctl(fd_, TIOCOUTQ, &pending) == 0 && pending > 0) {
        write.queueEmptySince.reset();
        return false;
    }
    if (!write.queueEmptySince) {
        write.queueEmptySince = now;
    }
    unsigned lsr = 0;
    std::optional<bool> transmitterEmpty;
    if (ioctl(fd_, TIOCSERGETLSR, &lsr) == 0) {
        transmitterEmpty = (lsr & TIOCSER_TEMT) != 0;
    }
    return WriteDrained(transmitterEmpty, now - *write.queueEmptySince, write.lineTime);
}

DWORD WriteQueue::Finish(DWORD error, std::size_t bytes) {
    writes_.front().done->Finish(error, DWORD(bytes));
    writes_.pop_front();
    return writes_.empty() ? EV_TXEMPTY : 0;
}

} // namespace comm::posix
