#include "platform/ui/FormatSettings.h"

namespace ui {
namespace {

bool IsPatternLetter(QChar c) {
    return c.isLetter() || c == u'\'';
}

// The first character after the field starting at 'from' that is not a pattern letter.
QChar SeparatorAfter(const QString& pattern, qsizetype from, QChar fallback) {
    if (from < 0)
        return fallback;
    for (qsizetype i = from; i < pattern.size(); ++i) {
        if (!IsPatternLetter(pattern[i]) && !pattern[i].isSpace())
            return pattern[i];
    }
    return fallback;
}

qsizetype IndexOfAny(const QString& text, QStringView letters) {
    qsizetype found = -1;
    for (QChar letter : letters) {
        const qsizetype at = text.indexOf(letter);
        if (at >= 0 && (found < 0 || at < found))
            found = at;
    }
    return found;
}

} // namespace

TFormatSettings FormatSettingsFromLocale(const QLocale& locale) {
    TFormatSettings settings;
    if (locale.language() == QLocale::C)
        return settings;

    const QString date = locale.dateFormat(QLocale::ShortFormat);
    if (!date.isEmpty()) {
        settings.ShortDateFormat = date;
        settings.DateSeparator = SeparatorAfter(date, 0, settings.DateSeparator);
    }

    const QString time = locale.timeFormat(QLocale::LongFormat);
    const qsizetype hour = IndexOfAny(time, u"hH");
    if (hour >= 0) {
        settings.TimeSeparator = SeparatorAfter(time, hour, settings.TimeSeparator);
        settings.HourLeadingZero =
            time.mid(hour, 2).compare(QStringLiteral("hh"), Qt::CaseInsensitive) == 0;
        const qsizetype designator = IndexOfAny(time, u"aA");
        settings.TwelveHourClock = designator >= 0;
        settings.DesignatorFirst = designator >= 0 && designator < hour;
        settings.TimeAMString = locale.amText();
        settings.TimePMString = locale.pmText();
    }

    const QString decimal = locale.decimalPoint();
    if (decimal.size() == 1)
        settings.DecimalSeparator = decimal[0];
    const QString group = locale.groupSeparator();
    if (group.size() == 1)
        settings.ThousandSeparator = group[0];
    return settings;
}

const TFormatSettings& FormatSettings() {
    static const TFormatSettings settings = FormatSettingsFromLocale(QLocale::system());
    return settings;
}

} // namespace ui
