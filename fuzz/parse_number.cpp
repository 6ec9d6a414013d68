// The spin entry's text-to-number parser on arbitrary text, against a reading of the same
// grammar done another way (digits gathered as a string and converted with strtoull), and a
// round trip of every value it accepts.
//
// The input is taken twice: as UTF-16 code units (odd and unpaired surrogates included) and as
// UTF-8 text.

#include "widgets/SpinMetrics.h"

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

bool IsDigit(char16_t c, bool hex) {
    if (c >= u'0' && c <= u'9') {
        return true;
    }
    return hex && ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'));
}

std::optional<std::int32_t> Expected(QStringView text) {
    std::u16string s(text.utf16(), std::size_t(text.size()));
    std::size_t i = s.find_first_not_of(u' ');
    if (i == std::u16string::npos) {
        return std::nullopt;
    }
    bool negative = false;
    if (s[i] == u'+' || s[i] == u'-') {
        negative = s[i++] == u'-';
    }
    bool hex = false;
    if (s.compare(i, 2, u"0x") == 0 || s.compare(i, 2, u"0X") == 0) {
        hex = true;
        i += 2;
    } else if (i < s.size() && (s[i] == u'$' || s[i] == u'x' || s[i] == u'X')) {
        hex = true;
        i += 1;
    }
    if (i >= s.size()) {
        return std::nullopt;
    }
    std::string digits;
    for (; i < s.size(); ++i) {
        if (!IsDigit(s[i], hex)) {
            return std::nullopt;
        }
        digits += char(s[i]);
    }
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    if (digits.size() > (hex ? 8u : 10u)) {
        return std::nullopt;
    }
    const unsigned long long magnitude = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    const unsigned long long limit =
        hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
    if (magnitude > limit) {
        return std::nullopt;
    }
    std::uint32_t pattern = std::uint32_t(magnitude);
    if (negative) {
        pattern = 0u - pattern;
    }
    return std::int32_t(pattern);
}

void Check(const QString& text) {
    const std::optional<std::int32_t> parsed = spin::ParseNumber(text);
    if (parsed != Expected(text)) {
        std::abort();
    }
    if (!parsed) {
        return;
    }
    // What the entry shows of a value reads back as that value.
    if (spin::ParseNumber(QString::number(*parsed)) != parsed) {
        std::abort();
    }
    if (spin::ParseNumber(QStringLiteral("$") + QString::number(std::uint32_t(*parsed), 16)) !=
        parsed) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) {
        return 0;
    }
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    Check(QString::fromStdU16String(units));
    Check(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
