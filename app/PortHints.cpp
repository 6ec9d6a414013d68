#include "app/PortHints.h"

#include <QStringList>

namespace {

QString Text(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

QString PortHint(const QString& name, const ports::PortDescription& description) {
    QStringList parts;
    const QString driver = Text(description.driver);
    switch (description.kind) {
    case ports::PortDescription::Usb: {
        QStringList device;
        for (const std::string* text : {&description.manufacturer, &description.product}) {
            if (!text->empty()) {
                device << Text(*text);
            }
        }
        parts << (device.isEmpty() ? QStringLiteral("USB-адаптер") : device.join(u' '));
        if (!description.serial.empty()) {
            parts << QStringLiteral("s/n ") + Text(description.serial);
        }
        break;
    }
    case ports::PortDescription::Uart:
        parts << QStringLiteral("встроенный порт");
        break;
    case ports::PortDescription::PseudoTerminal:
        if (description.target.empty()) {
            return name + QStringLiteral(" — виртуальный порт");
        }
        return name + QStringLiteral(" — виртуальный порт → ") + Text(description.target);
    case ports::PortDescription::Unknown:
        break;
    }
    if (!driver.isEmpty()) {
        parts << QStringLiteral("драйвер ") + driver;
    }
    if (!description.uartType.empty()) {
        parts << QStringLiteral("UART ") + Text(description.uartType);
    }
    return parts.isEmpty() ? name : name + QStringLiteral(" — ") + parts.join(QStringLiteral(", "));
}
