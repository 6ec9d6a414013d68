#include "serial/BCPort.h"

#include <cstring>

TPortOperation::~TPortOperation() {
    if (Overlapped.hEvent != 0)
        comm::CloseHandle(Overlapped.hEvent);
}

void NewPortOperation(PPortOperation& Op) {
    auto record = std::make_unique<TPortOperation>();
    record->Overlapped.hEvent = comm::CreateEventA(nullptr, true, true, nullptr);
    Op = std::move(record);
}

void PreparePortOperation(TPortOperationKind Kind, const void* Buffer, int Count,
                          PPortOperation& Op) {
    Op->Kind = Kind;
    Op->Data.reset();
    Op->Size = 0;
    const int size = Count > 0 ? Count : 0;
    Op->Data = std::make_unique<std::uint8_t[]>(std::size_t(size));
    if (size > 0)
        std::memcpy(Op->Data.get(), Buffer, std::size_t(size));
    Op->Size = size;
}

void FreePortOperation(PPortOperation& Op) {
    if (!Op)
        return;
    if (Op->Overlapped.hEvent != 0)
        comm::CloseHandle(Op->Overlapped.hEvent);
    Op->Overlapped.hEvent = 0;
    Op->Data.reset();
    Op.reset();
}
