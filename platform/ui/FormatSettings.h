#pragma once

#include <QChar>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

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

// The time as hours, minutes and seconds: hours with a leading zero only when the settings ask
// for one, 24-hour unless the settings are a 12-hour clock, which adds the AM/PM designator
// after the time (or before it, when the settings put it first).
QString FormatLongTime(const QTime& time, const TFormatSettings& settings);

// The date in the short date pattern: d, dd, ddd, dddd; m, mm, mmm, mmmm; yy, yyyy (letters in
// either case), "/" as the date separator, quoted text and every other character copied.
QString FormatShortDate(const QDate& date, const TFormatSettings& settings);

} // namespace ui
