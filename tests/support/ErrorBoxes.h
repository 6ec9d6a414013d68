#pragma once

#include <QString>
#include <QStringList>

namespace testsupport {

// Records what the application's error box would have shown.
class ErrorBoxes {
public:
    static void Install();
    static void Clear();
    static const QStringList& Texts();
    static const QStringList& Captions();
};

} // namespace testsupport
