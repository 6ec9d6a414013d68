// What each USB-serial chip can make, keyed by its USB ids. The FTDI figures follow the
// kernel's ftdi_sio: it tells the chips apart by the release number (bcdDevice) and computes
// every divisor on the 3 MHz clock (48 MHz / 16) for rates below 1200 bit/s.

#include "platform/ports/PortNames.h"

#include <algorithm>
#include <iterator>

namespace ports {
namespace {

constexpr unsigned kFtdiSioRates[] = {300,  600,   1200,  2400,  4800,
                                      9600, 19200, 38400, 57600, 115200};

constexpr unsigned kFtdiClock3 = 48000000; // the divisor is reckoned in eighths of 48 MHz / 16
constexpr unsigned kFtdiDivisorMax = 0x3FFF;

// The integer part of the divisor ftdi_sio writes for a rate (DIV_ROUND_CLOSEST(48 MHz, 2 ×
// rate) in eighths); the chip's field holds 14 bits, anything above spills into the fraction.
constexpr bool FtdiDivisorFits(unsigned rate) {
    if (rate == 0) {
        return false;
    }
    const unsigned long long eighths = (kFtdiClock3 + rate) / (2ULL * rate);
    return (eighths >> 3) <= kFtdiDivisorMax;
}

// The divisor fits while it stays below (max + 1) × 8 eighths: rate > 48 MHz / (2^18 − 1).
constexpr unsigned kFtdiLowest = kFtdiClock3 / (2 * (kFtdiDivisorMax + 1) * 8 - 1) + 1;
static_assert(FtdiDivisorFits(kFtdiLowest) && !FtdiDivisorFits(kFtdiLowest - 1));

constexpr int kAnyId = -1;

// One kind of adapter. The ids match the port's exactly, kAnyId matching any; a release
// number the system did not tell matches only a row that covers every release.
struct Row {
    int vendor;
    int product;
    int revisionLow; // bcdDevice range, inclusive
    int revisionHigh;
    int interface;
    const char* chip;
    AdapterRates::Rule rule;
    unsigned floor; // rFloor only
    AdapterRates::Framing framing;
};

using A = AdapterRates;
constexpr int kLast = 0xFFFF;

// The first row that matches counts. FTDI's vendor id carries FTDI's chips only (0403:6001
// FT232B/R, 6010 FT2232, 6011 FT4232H, 6014 FT232H, 6015 FT-X, and the product ids FTDI gives
// its customers), so its rows take every product and tell the chips by release number.
constexpr Row kAdapters[] = {
    // FTDI AN232B-05, AN_120; ftdi_sio: 3 MHz / (n + x/8), n ≤ 16383 (lowest ≈ 184 bit/s).
    {0x0403, kAnyId, 0x0000, 0x01FF, kAnyId, "SIO", A::rFtdiSioTable, 0, A::fAny},
    {0x0403, kAnyId, 0x0200, 0x0200, kAnyId, "FT232A", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x0400, 0x0400, kAnyId, "FT232B", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x0500, 0x0500, kAnyId, "FT2232C/D", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x0600, 0x0600, kAnyId, "FT232R", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x0700, 0x0700, kAnyId, "FT2232H", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x0800, 0x0800, kAnyId, "FT4232H", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x0900, 0x0900, kAnyId, "FT232H", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x1000, 0x1000, kAnyId, "FT-X", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x2800, 0x2800, kAnyId, "FT2233HP", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x2900, 0x2900, kAnyId, "FT4233HP", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x3000, 0x3000, kAnyId, "FT2232HP", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x3100, 0x3100, kAnyId, "FT4232HP", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x3200, 0x3200, kAnyId, "FT233HP", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x3300, 0x3300, kAnyId, "FT232HP", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x3600, 0x3600, kAnyId, "FT4232HA", A::rFtdiDivisor, 0, A::fAny},
    {0x0403, kAnyId, 0x0000, kLast, kAnyId, "FTDI", A::rFtdiDivisor, 0, A::fAny},
    // Silicon Labs AN205; cp210x: CP2101-3 map a request onto a fixed table, 57-300 run at 300.
    {0x10C4, 0xEA60, 0x0000, kLast, kAnyId, "CP210x", A::rFloor, 300, A::fAny},
    // CP2105 data sheet; cp210x: the enhanced interface from 300, the standard one from 2400
    // (an interface the system did not tell takes the higher floor).
    {0x10C4, 0xEA70, 0x0000, kLast, 0, "CP2105 ECI", A::rFloor, 300, A::fAny},
    {0x10C4, 0xEA70, 0x0000, kLast, 1, "CP2105 SCI", A::rFloor, 2400, A::fAny},
    {0x10C4, 0xEA70, 0x0000, kLast, kAnyId, "CP2105", A::rFloor, 2400, A::fAny},
    // MCP2200 data sheet: 300 bit/s and up, 8N1 only.
    {0x04D8, 0x00DF, 0x0000, kLast, kAnyId, "MCP2200", A::rFloor, 300, A::f8N1},
    // MCP2221 data sheet.
    {0x04D8, 0x00DD, 0x0000, kLast, kAnyId, "MCP2221", A::rFloor, 300, A::fAny},
    // Considered, no rule: 50-75 bit/s and 8E2 (data sheets; pl2303, ch341).
    {0x067B, 0x2303, 0x0000, kLast, kAnyId, "PL2303", A::rAny, 0, A::fAny},
    {0x067B, 0x23A3, 0x0000, kLast, kAnyId, "PL2303G", A::rAny, 0, A::fAny},
    {0x067B, 0x23B3, 0x0000, kLast, kAnyId, "PL2303G", A::rAny, 0, A::fAny},
    {0x067B, 0x23C3, 0x0000, kLast, kAnyId, "PL2303G", A::rAny, 0, A::fAny},
    {0x067B, 0x23D3, 0x0000, kLast, kAnyId, "PL2303G", A::rAny, 0, A::fAny},
    {0x067B, 0x23E3, 0x0000, kLast, kAnyId, "PL2303G", A::rAny, 0, A::fAny},
    {0x067B, 0x23F3, 0x0000, kLast, kAnyId, "PL2303G", A::rAny, 0, A::fAny},
    {0x1A86, 0x7523, 0x0000, kLast, kAnyId, "CH340", A::rAny, 0, A::fAny},
    {0x1A86, 0x5523, 0x0000, kLast, kAnyId, "CH341", A::rAny, 0, A::fAny},
    {0x1A86, 0x55D3, 0x0000, kLast, kAnyId, "CH343", A::rAny, 0, A::fAny},
    {0x1A86, 0x55D4, 0x0000, kLast, kAnyId, "CH9102", A::rAny, 0, A::fAny},
    // CDC-ACM devices (cdc-acm, usbser.sys) make what their firmware makes: not listed, the
    // read-back decides.
};

bool Matches(const Row& row, const PortDescription& d) {
    const auto id = [](int want, int have) { return want == kAnyId || want == have; };
    const bool revision =
        d.usbRevision < 0 ? row.revisionLow == 0 && row.revisionHigh == kLast
                          : row.revisionLow <= d.usbRevision && d.usbRevision <= row.revisionHigh;
    return d.usbVendor >= 0 && row.vendor == d.usbVendor && id(row.product, d.usbProduct) &&
           id(row.interface, d.usbInterface) && revision;
}

} // namespace

bool AdapterRates::Makes(unsigned rate) const {
    switch (rule) {
    case rAny:
        return true;
    case rFtdiDivisor:
        return FtdiDivisorFits(rate);
    case rFtdiSioTable:
        return std::find(std::begin(kFtdiSioRates), std::end(kFtdiSioRates), rate) !=
               std::end(kFtdiSioRates);
    case rFloor:
        return rate >= floor;
    }
    return true;
}

unsigned AdapterRates::Lowest() const {
    switch (rule) {
    case rAny:
        return 0;
    case rFtdiDivisor:
        return kFtdiLowest;
    case rFtdiSioTable:
        return kFtdiSioRates[0];
    case rFloor:
        return floor;
    }
    return 0;
}

bool AdapterRates::MakesFrame(unsigned dataBits, unsigned parity, unsigned stopBits) const {
    return framing == fAny || (dataBits == 8 && parity == 0 && stopBits == 0);
}

AdapterRates AdapterRatesOf(const PortDescription& description) {
    AdapterRates rates;
    const auto row = std::find_if(std::begin(kAdapters), std::end(kAdapters),
                                  [&](const Row& r) { return Matches(r, description); });
    if (row != std::end(kAdapters)) {
        rates.rule = row->rule;
        rates.framing = row->framing;
        rates.floor = row->floor;
        rates.chip = row->chip;
    }
    return rates;
}

} // namespace ports
