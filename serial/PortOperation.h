#pragma once

// The record of one overlapped operation, for the callers of TBComPort::WriteAsync and
// WaitForAsync. Records are created and freed per call.

#include "platform/comm/Comm.h"
#include "serial/BCPort.h"

#include <cstdint>
#include <memory>

enum TPortOperationKind : std::uint8_t { pkWrite, pkRead };

struct TPortOperation {
    comm::OVERLAPPED Overlapped;
    TPortOperationKind Kind = pkWrite;
    std::unique_ptr<std::uint8_t[]> Data;
    int Size = 0;
    ~TPortOperation();
};

// A record with its own manual-reset event, created signalled, no data.
void NewPortOperation(PPortOperation& op);
// Sets the kind and replaces the record's copy of the bytes.
void PreparePortOperation(TPortOperationKind kind, const void* buffer, int count,
                          PPortOperation& op);
// Closes the record's event, frees it and empties the reference.
void FreePortOperation(PPortOperation& op);
