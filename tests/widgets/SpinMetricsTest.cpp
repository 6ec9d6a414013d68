#include "widgets/SpinMetrics.h"

#include <gtest/gtest.h>

#include <QString>
#include <cstdlib>
#include <limits>
#include <random>
#include <regex>
#include <string>

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(SpinParse, TableOfTexts) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"100", 100},
        {"007", 7},
        {" 12", 12},
        {"    -12", -12},
        {"+12", 12},
        {"-0", 0},
        {"2147483647", kMax},
        {"-2147483648", kMin},
        {"000000000000002147483647", kMax},
        {"$10", 16},
        {"x10", 16},
        {"X1f", 31},
        {"0x1F", 31},
        {"0XfF", 255},
        {"-$10", -16},
        {"+0x7FFFFFFF", kMax},
        {"$FFFFFFFF", -1},
        {"$80000000", kMin},
        {"-$FFFFFFFF", 1},
        {"-$80000000", kMin},
        {"$000000000FFFFFFFF", -1},
        {" $ff", 255},
        {"0", 0},
        // Not numbers.
        {"", std::nullopt},
        {" ", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"-0x", std::nullopt},
        {"x", std::nullopt},
        {"12 ", std::nullopt},
        {"1 2", std::nullopt},
        {"12a", std::nullopt},
        {"1.5", std::nullopt},
        {"1,5", std::nullopt},
        {"--1", std::nullopt},
        {"+-1", std::nullopt},
        {"- 1", std::nullopt},
        {"\t1", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"+2147483648", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"$100000000", std::nullopt},
        {"$g", std::nullopt},
        {"0x0x1", std::nullopt},
        {"00x1", std::nullopt},
        {"$-1", std::nullopt},
        {"abc", std::nullopt},
        {"１２", std::nullopt}, // full-width digits are not digits here
    };
    for (const Case& c : cases) {
        EXPECT_EQ(spin::ParseNumber(QString::fromUtf8(c.text)), c.value) << '"' << c.text << '"';
    }
}

// The same rules told differently: a regular expression for the shape, strtoull for the value.
std::optional<std::int32_t> ReferenceParse(const std::string& text) {
    static const std::regex shape(R"(^ *([+-]?)(?:([0-9]+)|(?:\$|x|X|0x|0X)([0-9A-Fa-f]+))$)");
    std::smatch match;
    if (!std::regex_match(text, match, shape)) {
        return std::nullopt;
    }
    const bool negative = match[1] == "-";
    const bool hex = match[3].matched;
    std::string digits = hex ? match[3].str() : match[2].str();
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    if (digits.size() > 10) {
        return std::nullopt;
    }
    const unsigned long long magnitude = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (hex) {
        if (magnitude > 0xFFFFFFFFull) {
            return std::nullopt;
        }
        const long long pattern = magnitude >= 0x80000000ull
                                      ? static_cast<long long>(magnitude) - 0x100000000ll
                                      : static_cast<long long>(magnitude);
        long long value = negative ? -pattern : pattern;
        if (value > kMax) { // the negated lowest value stays where it is
            value -= 0x100000000ll;
        }
        return static_cast<std::int32_t>(value);
    }
    const long long value = negative ? -static_cast<long long>(magnitude) : magnitude;
    if (value < kMin || value > kMax) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

TEST(SpinParse, AgreesWithAReferenceOnRandomTexts) {
    std::mt19937 random(20261208);
    const std::string alphabet = " +-0123456789aAfFgxX$.,";
    const std::string digits = "0123456789";
    for (int round = 0; round < 60000; ++round) {
        std::string text;
        const int length = std::uniform_int_distribution<int>(0, 14)(random);
        // Half the texts are built to look like numbers, so that valid ones are common.
        if (round % 2 == 0) {
            text.append(std::uniform_int_distribution<int>(0, 2)(random), ' ');
            const char* signs[] = {"", "", "+", "-"};
            const char* prefixes[] = {"", "", "$", "x", "X", "0x", "0X"};
            text += signs[std::uniform_int_distribution<int>(0, 3)(random)];
            text += prefixes[std::uniform_int_distribution<int>(0, 6)(random)];
            const std::string& pool = random() % 3 ? digits : std::string("0123456789abcdefABCDEF");
            for (int i = 0; i < length; ++i) {
                text +=
                    pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
            }
            if (random() % 8 == 0) {
                text.insert(std::uniform_int_distribution<std::size_t>(0, text.size())(random), 1,
                            alphabet[random() % alphabet.size()]);
            }
        } else {
            for (int i = 0; i < length; ++i) {
                text += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() -
                                                                                   1)(random)];
            }
        }
        ASSERT_EQ(spin::ParseNumber(QString::fromLatin1(text)), ReferenceParse(text))
            << '"' << text << '"';
    }
}

TEST(SpinClamp, EqualBoundsMeanNoRange) {
    EXPECT_EQ(spin::ClampValue(20000, 0, 10000), 10000);
    EXPECT_EQ(spin::ClampValue(-5, 0, 10000), 0);
    EXPECT_EQ(spin::ClampValue(7, 0, 10000), 7);
    EXPECT_EQ(spin::ClampValue(kMax, 0, 0), kMax);
    EXPECT_EQ(spin::ClampValue(-42, 5, 5), -42);
    // Crossed bounds: the lower bound is tested first.
    EXPECT_EQ(spin::ClampValue(5, 10, 0), 10);
}

TEST(SpinSteps, SaturateAtTheEndsOfTheRange) {
    EXPECT_EQ(spin::SaturatingAdd(kMax, 1), kMax);
    EXPECT_EQ(spin::SaturatingAdd(kMax - 1, 1), kMax);
    EXPECT_EQ(spin::SaturatingAdd(kMin, -1), kMin);
    EXPECT_EQ(spin::SaturatingAdd(kMin, -std::int64_t{kMin}), 0);
    EXPECT_EQ(spin::SaturatingAdd(0, -std::int64_t{kMin}), kMax);
    EXPECT_EQ(spin::SaturatingAdd(100, -1), 99);
}

TEST(SpinTypedChars, AcceptedAndRefused) {
    for (char16_t c : std::u16string(u"0123456789+-.\b\x01\x16\x18\x1b")) {
        EXPECT_TRUE(spin::AcceptsTypedChar(c, u'.', true)) << int(c);
    }
    for (char16_t c : std::u16string(u"\r a,/:xX$e\x7fж")) {
        EXPECT_FALSE(spin::AcceptsTypedChar(c, u'.', true)) << int(c);
    }
    // The separator follows the locale.
    EXPECT_TRUE(spin::AcceptsTypedChar(u',', u',', true));
    EXPECT_FALSE(spin::AcceptsTypedChar(u'.', u',', true));
    // Editor disabled: only control characters other than backspace and Enter.
    for (char16_t c : std::u16string(u"05+-.\b\r")) {
        EXPECT_FALSE(spin::AcceptsTypedChar(c, u'.', false)) << int(c);
    }
    for (char16_t c : std::u16string(u"\x01\x03\x16\x18\x1b")) {
        EXPECT_TRUE(spin::AcceptsTypedChar(c, u'.', false)) << int(c);
    }
}

TEST(SpinLayout, MainWindowEntryAndPair) {
    // 121 × 47 in the 3-D look: client area 117 × 43.
    const spin::EditLayout edit = spin::LayoutEdit(121, 47, true, 2, 37, 16);
    EXPECT_EQ(edit.buttons, QRect(101, 0, 15, 42));
    EXPECT_EQ(edit.textRight, 100);
    EXPECT_EQ(edit.textBottom, 44);
    EXPECT_EQ(edit.minimumHeight, 37 + 4 + 4 + 2);

    const spin::PairLayout pair = spin::LayoutPair(15, 42);
    EXPECT_EQ(pair.width, 15);
    EXPECT_EQ(pair.up, QRect(0, 0, 15, 21));
    EXPECT_EQ(pair.down, QRect(0, 20, 15, 22));
}

TEST(SpinLayout, FlatLookMinimumHeightAndNarrowPair) {
    const spin::EditLayout flat = spin::LayoutEdit(80, 30, false, 1, 20, 13);
    EXPECT_EQ(flat.buttons, QRect(65, 1, 15, 27));
    EXPECT_EQ(flat.textRight, 80 - 2 - 15 - 2);
    EXPECT_EQ(flat.textBottom, 30 - 2 + 1);
    // min(system, font) / 4, truncated.
    EXPECT_EQ(flat.minimumHeight, 20 + 3 + 4 + 2);
    EXPECT_EQ(spin::LayoutEdit(80, 30, false, 1, 11, 16).minimumHeight, 11 + 2 + 4 + 2);

    const spin::PairLayout narrow = spin::LayoutPair(9, 25);
    EXPECT_EQ(narrow.width, 15);
    EXPECT_EQ(narrow.up, QRect(0, 0, 15, 12));
    EXPECT_EQ(narrow.down, QRect(0, 11, 15, 14));
    EXPECT_EQ(spin::AutoSizeHeight(37, true), 45);
    EXPECT_EQ(spin::AutoSizeHeight(37, false), 43);
}

} // namespace
