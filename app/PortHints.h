#pragma once

// The operator's description of a port in the port list: which adapter, driver or terminal
// stands behind the name.

#include "platform/ports/PortNames.h"

#include <QString>

// "ttyUSB0 — FTDI FT232R USB UART, s/n A50285BI, драйвер ftdi_sio",
// "ttyS0 — встроенный порт, драйвер serial8250, UART 16550A",
// "ttyV8 — виртуальный порт → /dev/pts/3"; a port the system tells nothing about gives its name.
QString PortHint(const QString& name, const ports::PortDescription& description);
