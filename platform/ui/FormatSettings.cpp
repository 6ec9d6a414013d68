#include "platform/ui/FormatSettings.h"

namespace ui {
namespace {

bool IsPatternLetter(QChar c) {
    return c.isLetter() || c == u'\'';
}

// The first character after the field starting at 'from' that is not a pattern letter.
QChar SeparatorAfter(const QString& pattern, qsizetype from, QChar fallback) {
    if (from < 0) {
        return fallback;
    }
    for (qsizetype i = from; i < pattern.size(); ++i) {
        if (!IsPatternLetter(pattern[i]) && !pattern[i].isSpace()) {
            return pattern[i];
        }
    }
    return fallback;
}

qsizetype IndexOfAny(const QString& text, QStringView letters) {
    qsizetype found = -1;
    for (QChar letter : letters) {
        const qsizetype at = text.indexOf(letter);
        if (at >= 0 && (found < 0 || at < found)) {
            found = at;
        }
    }
    return found;
}

QString Padded(int value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QChar(u'0'));
}

} // namespace

TFormatSettings FormatSettingsFromLocale(const QLocale& locale) {
    TFormatSettings settings;
    if (locale.language() == QLocale::C) {
        return settings;
    }

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
    if (decimal.size() == 1) {
        settings.DecimalSeparator = decimal[0];
    }
    const QString group = locale.groupSeparator();
    if (group.size() == 1) {
        settings.ThousandSeparator = group[0];
    }
    return settings;
}

QString FormatLongTime(const QTime& time, const TFormatSettings& settings) {
    int hour = time.hour();
    if (settings.TwelveHourClock) {
        hour %= 12;
        if (hour == 0) {
            hour = 12;
        }
    }
    QString text = settings.HourLeadingZero ? Padded(hour, 2) : QString::number(hour);
    text += settings.TimeSeparator + Padded(time.minute(), 2) + settings.TimeSeparator +
            Padded(time.second(), 2);
    if (!settings.TwelveHourClock) {
        return text;
    }
    const QString& designator = time.hour() < 12 ? settings.TimeAMString : settings.TimePMString;
    return settings.DesignatorFirst ? designator + u' ' + text : text + u' ' + designator;
}

QString FormatShortDate(const QDate& date, const TFormatSettings& settings) {
    const QString& pattern = settings.ShortDateFormat;
    const QLocale locale = QLocale::system();
    QString text;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern[i];
        const QChar lower = c.toLower();
        if (c == u'\'' || c == u'"') {
            const qsizetype end = pattern.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? pattern.size() : end;
            text += pattern.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        if (c == u'/') {
            text += settings.DateSeparator;
            ++i;
            continue;
        }
        if (lower != u'd' && lower != u'm' && lower != u'y') {
            text += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run].toLower() == lower) {
            ++run;
        }
        i += run;
        if (lower == u'd') {
            if (run == 1) {
                text += QString::number(date.day());
            } else if (run == 2) {
                text += Padded(date.day(), 2);
            } else {
                text += locale.dayName(date.dayOfWeek(),
                                       run == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
            }
        } else if (lower == u'm') {
            if (run == 1) {
                text += QString::number(date.month());
            } else if (run == 2) {
                text += Padded(date.month(), 2);
            } else {
                text += locale.monthName(date.month(),
                                         run == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
            }
        } else if (run <= 2) {
            text += Padded(date.year() % 100, 2);
        } else {
            text += Padded(date.year(), 4);
        }
    }
    return text;
}

const TFormatSettings& FormatSettings() {
    static const TFormatSettings settings = FormatSettingsFromLocale(QLocale::system());
    return settings;
}

} // namespace ui
