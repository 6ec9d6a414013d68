#include "app/PulseFigures.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kBitsPerCharacter = 12;
constexpr int kPeriodsPerCharacter = 3;
constexpr int kBitsPerPeriod = 4;

// Russian noun form for a count: 1 символ, 2 символа, 5 символов, 11 символов, 21 символ.
QString Plural(std::int64_t n, const char* one, const char* few, const char* many) {
    const std::int64_t tens = std::llabs(n) % 100;
    const std::int64_t units = tens % 10;
    if (tens >= 11 && tens <= 14) {
        return QString::fromUtf8(many);
    }
    if (units == 1) {
        return QString::fromUtf8(one);
    }
    if (units >= 2 && units <= 4) {
        return QString::fromUtf8(few);
    }
    return QString::fromUtf8(many);
}

// At most one decimal, none when it is 0: 27,5 and 300.
QString Decimal(double value, QChar separator) {
    const double tenths = std::nearbyint(value * 10.0);
    QString text = QString::number(tenths / 10.0, 'f', 1);
    if (text.endsWith(QLatin1String(".0"))) {
        text.chop(2);
    }
    return text.replace(u'.', separator);
}

QString Count(std::int64_t n, const char* one, const char* few, const char* many) {
    return QString::number(n) + u' ' + Plural(n, one, few, many);
}

} // namespace

TPulseFigures PulseFigures(unsigned rate, QStringView pattern) {
    TPulseFigures figures;
    figures.Characters = static_cast<int>(pattern.size());
    for (QChar c : pattern) {
        if (c != u'f') {
            figures.OnlyF = false;
            break;
        }
    }
    figures.Periods = figures.Characters * kPeriodsPerCharacter;
    if (rate == 0) {
        return figures;
    }
    figures.FrequencyHz = static_cast<double>(rate) / kBitsPerPeriod;
    const std::int64_t bits = std::int64_t{figures.Characters} * kBitsPerCharacter;
    figures.BurstMs = static_cast<double>(bits) * 1000.0 / rate;
    figures.FillPercent = figures.BurstMs * 100.0 / kWriterTickMs;
    // Compared in whole numbers: ten characters at 1200 bit/s are exactly one tick.
    figures.BackToBack =
        figures.Characters > 0 && bits * 1000 >= std::int64_t{kWriterTickMs} * rate;
    return figures;
}

QString FrequencyHint(unsigned rate, QChar decimalSeparator) {
    if (rate == 0) {
        return QString();
    }
    const TPulseFigures figures = PulseFigures(rate, {});
    return QStringLiteral("%1 Гц на линии (%2 бит/с)")
        .arg(Decimal(figures.FrequencyHz, decimalSeparator))
        .arg(rate);
}

QString DutyHint(unsigned rate, QStringView pattern, QChar decimalSeparator) {
    const TPulseFigures figures = PulseFigures(rate, pattern);
    if (!figures.OnlyF) {
        return QStringLiteral("В шаблоне есть символы кроме «f»: импульсы на линии другие, "
                              "их длительность не рассчитывается");
    }
    if (figures.Characters == 0) {
        return QStringLiteral("Шаблон пуст: импульсов на линии нет");
    }
    QString text = QStringLiteral("Шаблон: %1 «f», %2 в пачке")
                       .arg(Count(figures.Characters, "символ", "символа", "символов"),
                            Count(figures.Periods, "период", "периода", "периодов"));
    if (rate == 0) {
        return text;
    }
    const QString burst = QStringLiteral("\nПачка %1 мс при %2 бит/с")
                              .arg(QString::number(std::nearbyint(figures.BurstMs), 'f', 0))
                              .arg(rate);
    if (figures.BackToBack) {
        return text + burst +
               QStringLiteral(" — не короче такта %1 мс:\nпачки идут одна за другой без паузы")
                   .arg(kWriterTickMs);
    }
    return text + burst +
           QStringLiteral(" — %1 % такта %2 мс")
               .arg(Decimal(figures.FillPercent, decimalSeparator))
               .arg(kWriterTickMs);
}

QString RunLengthHint(int seconds) {
    const QString prefix = QStringLiteral("Продолжительность работы: ");
    if (seconds < 60) {
        return prefix + QStringLiteral("%1 с").arg(seconds);
    }
    const int minutes = seconds / 60;
    const int rest = seconds % 60;
    if (rest == 0) {
        return prefix + QStringLiteral("%1 мин").arg(minutes);
    }
    return prefix + QStringLiteral("%1 мин %2 с").arg(minutes).arg(rest);
}
