#include "app/PortHints.h"

#include "serial/BCPort.h"

#include <QStringList>
#include <iterator>

namespace {

QString Text(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// The frequencies the adapter cannot make, and why; empty when it makes them all.
QString UnavailableFrequencies(const ports::PortDescription& description,
                               const QStringList& frequencies) {
    if (frequencies.isEmpty()) {
        return {};
    }
    const ports::AdapterRates rates = ports::AdapterRatesOf(description);
    if (!rates.Makes8E2()) {
        const QString chip = rates.chip.empty() ? QString() : u' ' + Text(rates.chip);
        return QStringLiteral("Ни одна частота недоступна: адаптер%1 не передаёт 8 бит с чётностью "
                              "и 2 стоп-битами")
            .arg(chip);
    }
    QStringList missing;
    for (int i = 0; i < frequencies.size() && i < int(std::size(ComBaudRates)); ++i) {
        if (!rates.Makes(ComBaudRates[i])) {
            missing << frequencies[i];
        }
    }
    if (missing.isEmpty()) {
        return {};
    }
    return missing.join(QStringLiteral(", ")) +
           (missing.size() == 1 ? QStringLiteral(" Гц недоступна")
                                : QStringLiteral(" Гц недоступны")) +
           QStringLiteral(": наименьшая скорость адаптера %1 бит/с").arg(rates.Lowest());
}

QString Described(const QString& name, const ports::PortDescription& description) {
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
    case ports::PortDescription::Bluetooth:
        parts << QStringLiteral("порт Bluetooth");
        break;
    case ports::PortDescription::Virtual:
        parts << QStringLiteral("виртуальный порт");
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

} // namespace

QString PortHint(const QString& name, const ports::PortDescription& description,
                 const QStringList& frequencies) {
    const QString hint = Described(name, description);
    const QString unavailable = UnavailableFrequencies(description, frequencies);
    return unavailable.isEmpty() ? hint : hint + u'\n' + unavailable;
}
