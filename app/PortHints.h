#pragma once

// The operator's description of a port in the port list: which adapter, driver or terminal
// stands behind the name.

#include "platform/ports/PortNames.h"

#include <QString>
#include <QStringList>

// "ttyUSB0 — FTDI FT232R USB UART, s/n A50285BI, драйвер ftdi_sio",
// "ttyS0 — встроенный порт, драйвер serial8250, UART 16550A",
// "ttyV8 — виртуальный порт → /dev/pts/3"; a port the system tells nothing about gives its name.
// An adapter that cannot make some of the frequencies (the frequency list's items, index i at
// line rate ComBaudRates[i]) gets a second line naming them:
// "30 Гц недоступна: наименьшая скорость адаптера 184 бит/с"; one that cannot make the
// generator's frame at all says so:
// "Ни одна частота недоступна: адаптер MCP2200 не передаёт 8 бит с чётностью и 2 стоп-битами".
QString PortHint(const QString& name, const ports::PortDescription& description,
                 const QStringList& frequencies = {});
