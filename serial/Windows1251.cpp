#include "serial/BCPort.h"

namespace {

// Characters of bytes 0x80 … 0xBF; 0 where the code page has none. Bytes 0xC0 … 0xFF are
// U+0410 … U+044F.
constexpr char16_t Upper[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
};

char Encode(char16_t c) {
    if (c < 0x80) {
        return char(c);
    }
    if (c >= 0x0410 && c <= 0x044F) {
        return char(0xC0 + (c - 0x0410));
    }
    for (int i = 0; i < 64; ++i) {
        if (Upper[i] != 0 && Upper[i] == c) {
            return char(0x80 + i);
        }
    }
    return '?';
}

} // namespace

std::string ToWindows1251(const QString& text) {
    std::string bytes;
    bytes.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A character beyond the 16-bit range is two code units and one character the code
        // page lacks: one '?', so that the byte count stays the character count.
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            bytes.push_back('?');
            ++i;
            continue;
        }
        bytes.push_back(Encode(text[i].unicode()));
    }
    return bytes;
}
