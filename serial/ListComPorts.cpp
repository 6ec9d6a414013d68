#include "serial/BCPort.h"

#include "platform/ports/PortNames.h"
#include "serial/BCPortPrivate.h"

#include <QCollator>
#include <algorithm>
#include <vector>

void ListComPorts(QStringList& strings) {
    std::vector<std::string> names;
    if (!ports::ReadPortNames(names)) {
        RaiseComError(ComMessage::RegistryError);
    }
    QStringList list;
    list.reserve(qsizetype(names.size()));
    for (const auto& name : names) {
        list.append(QString::fromStdString(name));
    }
    // Case-insensitive in the user's locale, character by character: ttyS10 before ttyS2.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    std::sort(list.begin(), list.end(), collator);
    strings = list;
}
