#include "serial/PortOperation.h"

#include <cstring>

TPortOperation::~TPortOperation() {
    if (Overlapped.hEvent != 0) {
        comm::CloseHandle(Overlapped.hEvent);
    }
}

void NewPortOperation(PPortOperation& op) {
    auto record = std::make_unique<TPortOperation>();
    record->Overlapped.hEvent = comm::CreateEventA(nullptr, true, true, nullptr);
    op = std::move(record);
}

void PreparePortOperation(TPortOperationKind kind, const void* buffer, int count,
                          PPortOperation& op) {
    op->Kind = kind;
    op->Data.reset();
    op->Size = 0;
    const int size = count > 0 ? count : 0;
    op->Data = std::make_unique<std::uint8_t[]>(std::size_t(size));
    if (size > 0) {
        std::memcpy(op->Data.get(), buffer, std::size_t(size));
    }
    op->Size = size;
}

void FreePortOperation(PPortOperation& op) {
    if (!op) {
        return;
    }
    if (op->Overlapped.hEvent != 0) {
        comm::CloseHandle(op->Overlapped.hEvent);
    }
    op->Overlapped.hEvent = 0;
    op->Data.reset();
    op.reset();
}
