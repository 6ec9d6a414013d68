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
