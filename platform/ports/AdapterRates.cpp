// Which line rates an adapter makes, by its driver and chip. The figures follow the kernel's
// ftdi_sio: it tells the chips apart by the USB device's release number (bcdDevice) and
// computes every divisor on the 3 MHz clock (48 MHz / 16) for rates below 1200 bit/s.

#include "platform/ports/PortNames.h"

#include <algorithm>
#include <iterator>

namespace ports {
namespace {

constexpr unsigned kFtdiSioRates[] = {300,  600,   1200,  2400,  4800,
                                      9600, 19200, 38400, 57600, 115200};

// ftdi_sio's chip names by bcdDevice; releases below 0x200 are the SIO.
struct FtdiChip {
    int revision;
    const char* name;
};
constexpr FtdiChip kFtdiChips[] = {
    {0x200, "FT232A"},    {0x400, "FT232B"},    {0x500, "FT2232C/D"}, {0x600, "FT232R"},
    {0x700, "FT2232H"},   {0x800, "FT4232H"},   {0x900, "FT232H"},    {0x1000, "FT-X"},
    {0x2800, "FT2233HP"}, {0x2900, "FT4233HP"}, {0x3000, "FT2232HP"}, {0x3100, "FT4232HP"},
    {0x3200, "FT233HP"},  {0x3300, "FT232HP"},  {0x3600, "FT4232HA"},
};

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
    }
    return 0;
}

AdapterRates AdapterRatesOf(const PortDescription& description) {
    AdapterRates rates;
    if (description.driver != "ftdi_sio") {
        return rates;
    }
    rates.rule = AdapterRates::rFtdiDivisor;
    if (description.usbRevision < 0) {
        return rates;
    }
    if (description.usbRevision < kFtdiChips[0].revision) {
        rates.rule = AdapterRates::rFtdiSioTable;
        rates.chip = "SIO";
        return rates;
    }
    const auto chip =
        std::find_if(std::begin(kFtdiChips), std::end(kFtdiChips),
                     [&](const FtdiChip& c) { return c.revision == description.usbRevision; });
    if (chip != std::end(kFtdiChips)) {
        rates.chip = chip->name;
    }
    return rates;
}

} // namespace ports
