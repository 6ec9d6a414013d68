#pragma once

#include <QChar>
#include <QLocale>
#include <QString>

namespace ui {

// The regional settings used to format dates, times and numbers. The defaults are the values
// used when the system's settings cannot be read.
struct TFormatSettings {
    QString ShortDateFormat = QStringLiteral("m/d/yy"); // d, m (M), y fields; "/" = separator
    QChar DateSeparator = u'/';
    QChar TimeSeparator = u':';
    bool TwelveHourClock = true;
    bool HourLeadingZero = false;
    bool DesignatorFirst = false; // AM/PM designator before the time
    QString TimeAMString = QStringLiteral("am");
    QString TimePMString = QStringLiteral("pm");
    QChar DecimalSeparator = u'.';
    QChar ThousandSeparator = u',';
};

// The settings a locale stands for; the C locale has none, so it gives the defaults.
TFormatSettings FormatSettingsFromLocale(const QLocale& locale);

// The system's settings (LC_TIME, LC_NUMERIC), read once.
const TFormatSettings& FormatSettings();

} // namespace ui
