#pragma once

// What the component's own sources share beyond its public header.

#include "serial/BCPort.h"

// Raises EComPort with the message's text.
[[noreturn]] void RaiseComError(ComMessage message);
