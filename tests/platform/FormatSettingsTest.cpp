#include "platform/ui/FormatSettings.h"

#include <gtest/gtest.h>

namespace {

struct LocaleCase {
    const char* locale;
    const char* shortDate;
    char16_t dateSeparator;
    char16_t timeSeparator;
    bool twelveHour;
    bool leadingZero;
    bool designatorFirst;
    char16_t decimal;
};

class FormatSettingsFromLocale : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(FormatSettingsFromLocale, ReadsTheRegionalSettings) {
    const LocaleCase& c = GetParam();
    const ui::TFormatSettings s =
        ui::FormatSettingsFromLocale(QLocale(QString::fromLatin1(c.locale)));
    EXPECT_EQ(s.ShortDateFormat, QString::fromLatin1(c.shortDate));
    EXPECT_EQ(s.DateSeparator, QChar(c.dateSeparator));
    EXPECT_EQ(s.TimeSeparator, QChar(c.timeSeparator));
    EXPECT_EQ(s.TwelveHourClock, c.twelveHour);
    EXPECT_EQ(s.HourLeadingZero, c.leadingZero);
    EXPECT_EQ(s.DesignatorFirst, c.designatorFirst);
    EXPECT_EQ(s.DecimalSeparator, QChar(c.decimal));
}

INSTANTIATE_TEST_SUITE_P(
    Locales, FormatSettingsFromLocale,
    ::testing::Values(LocaleCase{"ru_RU", "dd.MM.yyyy", u'.', u':', false, true, false, u','},
                      LocaleCase{"en_US", "M/d/yy", u'/', u':', true, false, false, u'.'},
                      LocaleCase{"zh_CN", "yyyy/M/d", u'/', u':', false, true, false, u'.'},
                      LocaleCase{"ko_KR", "yy. M. d.", u'.', u':', true, false, true, u'.'},
                      LocaleCase{"C", "m/d/yy", u'/', u':', true, false, false, u'.'}));

TEST(FormatSettingsFallback, IsTwelveHourWithLowerCaseDesignatorsAfterTheTime) {
    const ui::TFormatSettings s = ui::FormatSettingsFromLocale(QLocale::c());
    EXPECT_EQ(s.TimeAMString, QStringLiteral("am"));
    EXPECT_EQ(s.TimePMString, QStringLiteral("pm"));
    EXPECT_EQ(s.ThousandSeparator, QChar(u','));
}

} // namespace

namespace {

ui::TFormatSettings RussianLike() {
    ui::TFormatSettings s;
    s.ShortDateFormat = QStringLiteral("dd.MM.yyyy");
    s.DateSeparator = u'.';
    s.TimeSeparator = u':';
    s.TwelveHourClock = false;
    s.HourLeadingZero = false;
    return s;
}

ui::TFormatSettings AmericanLike() {
    ui::TFormatSettings s;
    s.ShortDateFormat = QStringLiteral("M/d/yyyy");
    s.TwelveHourClock = true;
    s.TimeAMString = QStringLiteral("AM");
    s.TimePMString = QStringLiteral("PM");
    return s;
}

ui::TFormatSettings DesignatorFirst() {
    ui::TFormatSettings s;
    s.ShortDateFormat = QStringLiteral("yyyy/mm/dd");
    s.DateSeparator = u'-';
    s.TimeSeparator = u'.';
    s.HourLeadingZero = true;
    s.DesignatorFirst = true;
    s.TimeAMString = QStringLiteral("上午");
    s.TimePMString = QStringLiteral("下午");
    return s;
}

struct ClockCase {
    const char* name;
    ui::TFormatSettings settings;
    QTime time;
    QDate date;
    const char* timeText;
    const char* dateText;
};

TEST(ClockTexts, FollowTheRegionalSettings) {
    const QDate dec7(2026, 12, 7);
    const ClockCase cases[] = {
        {"russian", RussianLike(), QTime(9, 5, 7), dec7, "9:05:07", "07.12.2026"},
        {"russian evening", RussianLike(), QTime(21, 0, 0), dec7, "21:00:00", "07.12.2026"},
        {"american morning", AmericanLike(), QTime(9, 5, 7), dec7, "9:05:07 AM", "12/7/2026"},
        {"american midnight", AmericanLike(), QTime(0, 30, 0), dec7, "12:30:00 AM", "12/7/2026"},
        {"american noon", AmericanLike(), QTime(12, 0, 1), dec7, "12:00:01 PM", "12/7/2026"},
        {"designator first", DesignatorFirst(), QTime(15, 4, 5), QDate(2026, 3, 9), "下午 03.04.05",
         "2026-03-09"},
        {"fallback", ui::TFormatSettings(), QTime(23, 59, 59), QDate(2026, 1, 2), "11:59:59 pm",
         "1/2/26"},
    };
    for (const ClockCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ui::FormatLongTime(c.time, c.settings), QString::fromUtf8(c.timeText));
        EXPECT_EQ(ui::FormatShortDate(c.date, c.settings), QString::fromUtf8(c.dateText));
    }
}

TEST(ClockTexts, ShortDateCopiesQuotedAndOtherCharacters) {
    ui::TFormatSettings s;
    s.ShortDateFormat = QStringLiteral("'Day' d, yy. M. 'x/y'");
    s.DateSeparator = u'-';
    EXPECT_EQ(ui::FormatShortDate(QDate(2005, 4, 3), s), QStringLiteral("Day 3, 05. 4. x/y"));
}

} // namespace
