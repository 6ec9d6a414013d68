// The figures the tooltips give for a pattern at each of the window's line rates.
#include "app/PulseFigures.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    unsigned rate;
    int characters;
    double burstMs;
    bool backToBack;
};

// Burst length = characters × 12 bit-times; a burst of 100 ms or more fills the tick.
const Case kCases[] = {
    {110, 0, 0.0, false},     {110, 1, 109.0909, true},  {110, 5, 545.4545, true},
    {110, 9, 981.8182, true}, {110, 10, 1090.909, true}, {110, 50, 5454.545, true},
    {300, 0, 0.0, false},     {300, 1, 40.0, false},     {300, 5, 200.0, true},
    {300, 9, 360.0, true},    {300, 10, 400.0, true},    {300, 50, 2000.0, true},
    {600, 0, 0.0, false},     {600, 1, 20.0, false},     {600, 5, 100.0, true},
    {600, 9, 180.0, true},    {600, 10, 200.0, true},    {600, 50, 1000.0, true},
    {1200, 0, 0.0, false},    {1200, 1, 10.0, false},    {1200, 5, 50.0, false},
    {1200, 9, 90.0, false},   {1200, 10, 100.0, true},   {1200, 50, 500.0, true},
    {2400, 0, 0.0, false},    {2400, 1, 5.0, false},     {2400, 5, 25.0, false},
    {2400, 9, 45.0, false},   {2400, 10, 50.0, false},   {2400, 50, 250.0, true},
};

const struct {
    unsigned rate;
    double hz;
} kFrequencies[] = {{110, 27.5}, {300, 75.0}, {600, 150.0}, {1200, 300.0}, {2400, 600.0}};

TEST(PulseFiguresTest, EveryRateAndPatternLength) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.rate << " bit/s, " << c.characters << " f");
        const QString pattern(c.characters, u'f');
        const TPulseFigures figures = PulseFigures(c.rate, pattern);
        EXPECT_TRUE(figures.OnlyF);
        EXPECT_EQ(figures.Characters, c.characters);
        EXPECT_EQ(figures.Periods, 3 * c.characters);
        EXPECT_NEAR(figures.BurstMs, c.burstMs, 0.001);
        EXPECT_NEAR(figures.FillPercent, c.burstMs, 0.001); // ms of a 100 ms tick = percent
        EXPECT_EQ(figures.BackToBack, c.backToBack);
        for (const auto& f : kFrequencies) {
            if (f.rate == c.rate) {
                EXPECT_DOUBLE_EQ(figures.FrequencyHz, f.hz);
            }
        }
    }
}

TEST(PulseFiguresTest, OtherCharactersThanFAreFlagged) {
    for (const char* pattern : {"ffxff", "F", " ", "fff|", "ф"}) {
        SCOPED_TRACE(pattern);
        EXPECT_FALSE(PulseFigures(1200, QString::fromUtf8(pattern)).OnlyF);
    }
    EXPECT_TRUE(PulseFigures(1200, QString()).OnlyF);
    EXPECT_EQ(DutyHint(1200, u"ffxff", u','),
              QStringLiteral("В шаблоне есть символы кроме «f»: импульсы на линии другие, "
                             "их длительность не рассчитывается"));
}

TEST(PulseFiguresTest, NoRateGivesOnlyTheCounts) {
    const TPulseFigures figures = PulseFigures(0, u"fff");
    EXPECT_EQ(figures.Periods, 9);
    EXPECT_EQ(figures.BurstMs, 0.0);
    EXPECT_FALSE(figures.BackToBack);
    EXPECT_EQ(FrequencyHint(0, u','), QString());
    EXPECT_EQ(DutyHint(0, u"fff", u','),
              QStringLiteral("Шаблон: 3 символа «f», 9 периодов в пачке"));
}

TEST(PulseFiguresTest, FrequencyTextsUseTheDecimalSeparator) {
    EXPECT_EQ(FrequencyHint(110, u','), QStringLiteral("27,5 Гц на линии (110 бит/с)"));
    EXPECT_EQ(FrequencyHint(110, u'.'), QStringLiteral("27.5 Гц на линии (110 бит/с)"));
    EXPECT_EQ(FrequencyHint(300, u','), QStringLiteral("75 Гц на линии (300 бит/с)"));
    EXPECT_EQ(FrequencyHint(1200, u','), QStringLiteral("300 Гц на линии (1200 бит/с)"));
    EXPECT_EQ(FrequencyHint(2400, u','), QStringLiteral("600 Гц на линии (2400 бит/с)"));
}

TEST(PulseFiguresTest, DutyTexts) {
    const struct {
        unsigned rate;
        int characters;
        const char* text;
    } cases[] = {
        {1200, 5,
         "Шаблон: 5 символов «f», 15 периодов в пачке\n"
         "Пачка 50 мс при 1200 бит/с — 50 % такта 100 мс"},
        {110, 5,
         "Шаблон: 5 символов «f», 15 периодов в пачке\n"
         "Пачка 545 мс при 110 бит/с — не короче такта 100 мс:\n"
         "пачки идут одна за другой без паузы"},
        {1200, 10,
         "Шаблон: 10 символов «f», 30 периодов в пачке\n"
         "Пачка 100 мс при 1200 бит/с — не короче такта 100 мс:\n"
         "пачки идут одна за другой без паузы"},
        {2400, 1,
         "Шаблон: 1 символ «f», 3 периода в пачке\n"
         "Пачка 5 мс при 2400 бит/с — 5 % такта 100 мс"},
        {2400, 7,
         "Шаблон: 7 символов «f», 21 период в пачке\n"
         "Пачка 35 мс при 2400 бит/с — 35 % такта 100 мс"},
        {2400, 2,
         "Шаблон: 2 символа «f», 6 периодов в пачке\n"
         "Пачка 10 мс при 2400 бит/с — 10 % такта 100 мс"},
        {2400, 11,
         "Шаблон: 11 символов «f», 33 периода в пачке\n"
         "Пачка 55 мс при 2400 бит/с — 55 % такта 100 мс"},
        {300, 0, "Шаблон пуст: импульсов на линии нет"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DutyHint(c.rate, QString(c.characters, u'f'), u','), QString::fromUtf8(c.text));
    }
}

TEST(PulseFiguresTest, RunLengthTexts) {
    EXPECT_EQ(RunLengthHint(0), QStringLiteral("Продолжительность работы: 0 с"));
    EXPECT_EQ(RunLengthHint(59), QStringLiteral("Продолжительность работы: 59 с"));
    EXPECT_EQ(RunLengthHint(60), QStringLiteral("Продолжительность работы: 1 мин"));
    EXPECT_EQ(RunLengthHint(100), QStringLiteral("Продолжительность работы: 1 мин 40 с"));
    EXPECT_EQ(RunLengthHint(10000), QStringLiteral("Продолжительность работы: 166 мин 40 с"));
}

} // namespace
