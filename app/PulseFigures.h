#pragma once

// What the duty pattern puts on the line, in the figures an injector tester shows: the
// square-wave frequency, the periods and length of each burst and the share of the 100 ms writer
// tick it fills, and the operator's tooltip texts built from them.

#include <QChar>
#include <QString>
#include <QStringView>

// The writer's tick, ms.
inline constexpr int kWriterTickMs = 100;

struct TPulseFigures {
    double FrequencyHz = 0.0; // a quarter of the line rate: each f is 0011 0011 0011
    int Characters = 0;       // pattern length
    int Periods = 0;          // three square-wave periods per f
    double BurstMs = 0.0;     // characters × 12 bit-times (start, 8 data, parity, 2 stop)
    double FillPercent = 0.0; // burst length as a share of the tick; above 100 when longer
    bool OnlyF = true;        // false: the pattern holds other characters, the figures are void
    bool BackToBack = false;  // the burst is as long as a tick or longer: no pause between bursts
};

// The figures for a pattern written at a line rate in bit/s (0: no rate, only the counts).
TPulseFigures PulseFigures(unsigned rate, QStringView pattern);

// "27,5 Гц на линии (110 бит/с)"; empty for no rate.
QString FrequencyHint(unsigned rate, QChar decimalSeparator);
// The pattern's length, periods, burst length and share of the tick at the rate; or that the
// pattern is empty, or holds characters other than f.
QString DutyHint(unsigned rate, QStringView pattern, QChar decimalSeparator);
// The run length in minutes and seconds from a minute on, else in seconds.
QString RunLengthHint(int seconds);
