// The handle side of a simulated line: the Device that the comm calls reach when they open
// a plugged-in line, and the plugging in itself.

#include "platform/comm/SimulatedLine.h"

#include "platform/base/Change.h"
#include "platform/comm/Device.h"
#include "platform/comm/DeviceRules.h"

#include <algorithm>
#include <utility>

namespace comm {

// The handle side of an open simulated line. A device of an earlier session (closed and the
// line opened again) no longer reaches the line.
class SimulatedDevice final : public Device {
public:
    SimulatedDevice(std::shared_ptr<SimulatedLine> line, unsigned long session)
        : line_(std::move(line)), session_(session) {}
    ~SimulatedDevice() override { Close(); }

    DWORD SetupComm(DWORD inQueue, DWORD outQueue) override {
        std::lock_guard lock(line_->mutex_);
        if (DWORD error = line_->Check(session_, scSetupComm)) {
            return error;
        }
        line_->inQueue_ = inQueue;
        line_->outQueue_ = outQueue;
        return ERROR_SUCCESS;
    }

    DWORD SetCommState(const DCB& dcb) override {
        std::lock_guard lock(line_->mutex_);
        if (DWORD error = line_->Check(session_, scSetCommState)) {
            return error;
        }
        if (DWORD error = CheckLineSettings(dcb)) {
            return error;
        }
        line_->dcb_ = dcb;
        line_->dtr_ = DtrRaised(dcb);
        line_->rts_ = RtsRaised(dcb);
        return ERROR_SUCCESS;
    }

    DWORD SetCommTimeouts(const COMMTIMEOUTS& timeouts) override {
        std::lock_guard lock(line_->mutex_);
        if (DWORD error = line_->Check(session_, scSetCommTimeouts)) {
            return error;
        }
        line_->timeouts_ = timeouts;
        return ERROR_SUCCESS;
    }

    DWORD EscapeCommFunction(DWORD function) override {
        std::lock_guard lock(line_->mutex_);
        if (DWORD error = line_->Check(session_, scEscapeCommFunction)) {
            return error;
        }
        const auto change = EscapeChange(function);
        if (!change) {
            return ERROR_INVALID_PARAMETER;
        }
        (change->line == ControlLineChange::Dtr ? line_->dtr_ : line_->rts_) = change->raised;
        return ERROR_SUCCESS;
    }

    DWORD PurgeComm(DWORD flags) override {
        std::lock_guard lock(line_->mutex_);
        if (DWORD error = line_->Check(session_, scPurgeComm)) {
            return error;
        }
        if (DWORD error = CheckPurgeFlags(flags)) {
            return error;
        }
        line_->purges_.push_back(flags);
        if ((flags & (PURGE_TXABORT | PURGE_TXCLEAR)) != 0) {
            line_->AbortWritesLocked(ERROR_OPERATION_ABORTED);
        }
        if ((flags & PURGE_RXCLEAR) != 0) {
            line_->received_.clear();
        }
        return ERROR_SUCCESS;
    }

    DWORD Write(const BYTE* data, DWORD count, std::shared_ptr<Completion> done) override {
        std::lock_guard lock(line_->mutex_);
        if (DWORD error = line_->Check(session_, scWrite)) {
            return error;
        }
        ++line_->writes_;
        if (count == 0) {
            done->Finish(ERROR_SUCCESS, 0);
            return ERROR_SUCCESS;
        }
        const auto now = Clock::now();
        const auto character = line_->CharacterTimeLocked();
        const auto deadline = WriteDeadline(line_->timeouts_, count, now);
        auto time = std::max(now, line_->busyUntil_);
        DWORD sent = 0;
        for (DWORD i = 0; i < count; ++i) {
            auto end = time + character;
            if (deadline && end > *deadline) {
                break;
            }
            line_->sent_.push_back(SentCharacter{data[i], end});
            time = end;
            ++sent;
        }
        line_->busyUntil_ = time;
        SimulatedLine::PendingWrite write{std::move(done), sent < count ? *deadline : time, sent,
                                          std::nullopt};
        if (line_->buffered_) {
            // The driver has taken the bytes now; the layer waits for them as the Windows
            // backend does.
            write.finish = now;
            write.drain.emplace(now, character * sent);
        }
        line_->pending_.push_back(std::move(write));
        line_->changed_.notify_all();
        return ERROR_SUCCESS;
    }

    DWORD SetCommMask(DWORD mask) override {
        std::lock_guard lock(line_->mutex_);
        if (DWORD error = line_->Check(session_, scSetCommMask)) {
            return error;
        }
        return line_->events_->SetMask(mask);
    }

    DWORD WaitCommEvent(std::shared_ptr<Completion> done) override {
        std::lock_guard lock(line_->mutex_);
        if (DWORD error = line_->Check(session_, scWaitCommEvent)) {
            return error;
        }
        return line_->events_->StartWait(std::move(done));
    }

    DWORD ClearCommError(DWORD& errors, COMSTAT& status) override {
        std::lock_guard lock(line_->mutex_);
        if (DWORD error = line_->Check(session_, scClearCommError)) {
            return error;
        }
        errors = std::exchange(line_->errors_, 0);
        status = COMSTAT{0, DWORD(line_->received_.size()), line_->QueuedLocked(Clock::now())};
        return ERROR_SUCCESS;
    }

    DWORD GetCommModemStatus(DWORD& status) override {
        std::lock_guard lock(line_->mutex_);
        if (DWORD error = line_->Check(session_, scGetCommModemStatus)) {
            return error;
        }
        status = line_->modem_;
        return ERROR_SUCCESS;
    }

    void Close() override {
        std::lock_guard lock(line_->mutex_);
        if (!base::Change(closed_, true)) {
            return;
        }
        if (line_->session_ != session_ || !line_->open_) {
            return;
        }
        line_->AbortWritesLocked(ERROR_OPERATION_ABORTED);
        line_->events_->Fail(ERROR_OPERATION_ABORTED);
        line_->events_->SetMask(0);
        line_->open_ = false;
        line_->received_.clear();
        line_->changed_.notify_all();
    }

private:
    std::shared_ptr<SimulatedLine> line_;
    const unsigned long session_;
    bool closed_ = false;
};

std::shared_ptr<SimulatedLine> SimulatedLine::Plug(const std::string& name) {
    std::shared_ptr<SimulatedLine> line(new SimulatedLine(DevicePath(name)));
    std::weak_ptr<SimulatedLine> weak = line;
    PlugDevice(line->path_, [weak](DWORD& error) -> std::unique_ptr<Device> {
        auto line = weak.lock();
        if (!line) {
            error = ERROR_FILE_NOT_FOUND;
            return nullptr;
        }
        std::lock_guard lock(line->mutex_);
        if (line->gone_) {
            // A driver that keeps the removed device keeps its name, in use, until the last
            // handle closes.
            error = line->nameStaysWhileOpen_ && line->open_ ? ERROR_ACCESS_DENIED
                                                             : ERROR_FILE_NOT_FOUND;
            return nullptr;
        }
        if ((line->refused_ & scOpen) != 0) {
            error = ERROR_GEN_FAILURE;
            return nullptr;
        }
        if (line->open_) {
            error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        line->open_ = true;
        ++line->opens_;
        ++line->session_;
        line->received_.clear();
        line->errors_ = 0;
        return std::make_unique<SimulatedDevice>(line, line->session_);
    });
    return line;
}

} // namespace comm
