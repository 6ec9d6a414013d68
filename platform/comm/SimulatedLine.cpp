// The simulated line itself: its far end, the worker that ends writes when their last
// character has left the line, and what a test reads back.

#include "platform/comm/SimulatedLine.h"

#include "platform/base/Change.h"
#include "platform/comm/Device.h"
#include "platform/comm/DeviceRules.h"

#include <algorithm>

namespace comm {

SimulatedLine::SimulatedLine(std::string path)
    : path_(std::move(path)), events_(std::make_unique<EventMonitor>()) {
    dcb_.DCBlength = sizeof(DCB);
    dcb_.BaudRate = 9600;
    dcb_.ByteSize = 8;
    worker_ = std::thread([this] { Worker(); });
}

SimulatedLine::~SimulatedLine() {
    UnplugDevice(path_);
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        AbortWritesLocked(ERROR_OPERATION_ABORTED);
        events_->Fail(ERROR_OPERATION_ABORTED);
        changed_.notify_all();
    }
    worker_.join();
}

// Finishes writes when their time has come.
void SimulatedLine::Worker() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (pending_.empty()) {
            changed_.wait(lock);
            continue;
        }
        const auto finish = pending_.front().finish;
        if (Clock::now() < finish) {
            changed_.wait_until(lock, finish);
            continue;
        }
        if (const auto& drain = pending_.front().drain) {
            if (const auto left = drain->Left(QueuedLocked(Clock::now()), Clock::now())) {
                changed_.wait_for(lock, *left);
                continue;
            }
        }
        PendingWrite write = std::move(pending_.front());
        pending_.pop_front();
        write.done->Finish(ERROR_SUCCESS, write.sent);
        if (pending_.empty()) {
            PostLocked(EV_TXEMPTY);
        }
    }
}

DWORD SimulatedLine::Check(unsigned long session, DWORD call) const {
    if (!open_ || session != session_) {
        return ERROR_INVALID_HANDLE;
    }
    if (gone_) {
        return goneError_;
    }
    if ((refused_ & call) != 0) {
        return ERROR_GEN_FAILURE;
    }
    return ERROR_SUCCESS;
}

void SimulatedLine::PostLocked(DWORD events) {
    if (open_ && !gone_) {
        events_->Post(events);
    }
}

// Characters not yet on the line are dropped, but for those a buffering driver's FIFO holds;
// those already sent stay.
void SimulatedLine::AbortWritesLocked(DWORD error) {
    const auto now = Clock::now();
    auto kept = std::find_if(sent_.begin(), sent_.end(),
                             [now](const SentCharacter& c) { return c.time > now; });
    const auto held = std::min<std::ptrdiff_t>(buffered_ ? kFifoBytes : 0, sent_.end() - kept);
    kept += held;
    sent_.erase(kept, sent_.end());
    busyUntil_ = held > 0 ? sent_.back().time : std::min(busyUntil_, now);
    for (auto& write : pending_) {
        write.done->Finish(error, 0);
    }
    pending_.clear();
}

std::chrono::nanoseconds SimulatedLine::CharacterTimeLocked() const {
    return comm::CharacterTime(dcb_);
}

void SimulatedLine::Inject(const std::string& bytes) {
    std::lock_guard lock(mutex_);
    if (!open_ || gone_ || bytes.empty()) {
        return;
    }
    const std::size_t before = received_.size();
    std::size_t room = inQueue_ > before ? inQueue_ - before : 0;
    received_.append(bytes, 0, std::min(room, bytes.size()));
    DWORD events = ReceiveEvents(inQueue_, before, received_.size());
    if (bytes.size() > room) {
        errors_ |= CE_RXOVER;
        events |= LineErrorEvents(CE_RXOVER);
    }
    PostLocked(events);
}

void SimulatedLine::InjectErrors(DWORD ceFlags) {
    std::lock_guard lock(mutex_);
    if (!open_ || gone_ || ceFlags == 0) {
        return;
    }
    errors_ |= ceFlags;
    PostLocked(LineErrorEvents(ceFlags));
}

void SimulatedLine::SetModemStatus(DWORD msFlags) {
    std::lock_guard lock(mutex_);
    const DWORD before = modem_;
    if (base::Change(modem_, msFlags)) {
        PostLocked(ModemEvents(before, msFlags));
    }
}

std::string SimulatedLine::TakeReceived(std::size_t max) {
    std::lock_guard lock(mutex_);
    const std::size_t n = max == 0 ? received_.size() : std::min(max, received_.size());
    std::string taken = received_.substr(0, n);
    received_.erase(0, n);
    return taken;
}

void SimulatedLine::Refuse(DWORD calls) {
    std::lock_guard lock(mutex_);
    refused_ = calls;
}

void SimulatedLine::Vanish() {
    Remove(ERROR_DEVICE_REMOVED, false);
}

void SimulatedLine::SurpriseRemove(DWORD driverError) {
    Remove(driverError, true);
}

void SimulatedLine::Remove(DWORD error, bool nameStaysWhileOpen) {
    std::lock_guard lock(mutex_);
    if (!base::Change(gone_, true)) {
        return;
    }
    goneError_ = error;
    nameStaysWhileOpen_ = nameStaysWhileOpen;
    AbortWritesLocked(error);
    events_->Fail(error);
}

bool SimulatedLine::PlugBack() {
    std::lock_guard lock(mutex_);
    if (gone_ && open_) {
        return false;
    }
    gone_ = false;
    return true;
}

void SimulatedLine::BufferWrites(bool buffered) {
    std::lock_guard lock(mutex_);
    buffered_ = buffered;
}

DWORD SimulatedLine::QueuedLocked(Clock::time_point now) const {
    const auto queued = std::count_if(sent_.begin(), sent_.end(),
                                      [now](const SentCharacter& c) { return c.time > now; });
    return DWORD(std::max<std::ptrdiff_t>(0, queued - (buffered_ ? kFifoBytes : 0)));
}

bool SimulatedLine::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}
int SimulatedLine::Opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}
DCB SimulatedLine::State() const {
    std::lock_guard lock(mutex_);
    return dcb_;
}
COMMTIMEOUTS SimulatedLine::Timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
}
DWORD SimulatedLine::InQueue() const {
    std::lock_guard lock(mutex_);
    return inQueue_;
}
DWORD SimulatedLine::OutQueue() const {
    std::lock_guard lock(mutex_);
    return outQueue_;
}
bool SimulatedLine::Dtr() const {
    std::lock_guard lock(mutex_);
    return dtr_;
}
bool SimulatedLine::Rts() const {
    std::lock_guard lock(mutex_);
    return rts_;
}
DWORD SimulatedLine::Mask() const {
    std::lock_guard lock(mutex_);
    return events_->Mask();
}
std::vector<DWORD> SimulatedLine::Purges() const {
    std::lock_guard lock(mutex_);
    return purges_;
}
int SimulatedLine::Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

std::vector<SentCharacter> SimulatedLine::Sent() const {
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    std::vector<SentCharacter> sent;
    for (auto& character : sent_) {
        if (character.time <= now) {
            sent.push_back(character);
        }
    }
    return sent;
}

std::string SimulatedLine::SentText() const {
    std::string text;
    for (auto& character : Sent()) {
        text.push_back(char(character.value));
    }
    return text;
}

std::chrono::nanoseconds SimulatedLine::CharacterTime() const {
    std::lock_guard lock(mutex_);
    return CharacterTimeLocked();
}

} // namespace comm
