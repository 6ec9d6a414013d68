#include "platform/ports/HardwareIdsPrivate.h"

#include <algorithm>
#include <cctype>
#include <tuple>

namespace ports {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) ==
                      std::toupper(static_cast<unsigned char>(b));
           });
}

// The number of a field "<prefix><digits>" with exactly that many hex digits; -1 otherwise.
int HexField(std::string_view field, std::string_view prefix, std::size_t digits) {
    if (!StartsWithNoCase(field, prefix) || field.size() != prefix.size() + digits) {
        return -1;
    }
    int value = 0;
    for (const char c : field.substr(prefix.size())) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return -1;
        }
        value = value * 16 + (std::isdigit(static_cast<unsigned char>(c))
                                  ? c - '0'
                                  : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
    }
    return value;
}

// Takes what the other ids tell when they name the same device (or this one is not known yet).
void Merge(UsbIds& ids, const UsbIds& more) {
    if (more.vendor < 0 || more.product < 0) {
        return;
    }
    if (ids.vendor < 0) {
        ids.vendor = more.vendor;
        ids.product = more.product;
    } else if (ids.vendor != more.vendor || ids.product != more.product) {
        return;
    }
    if (ids.revision < 0) {
        ids.revision = more.revision;
    }
    if (ids.interface < 0) {
        ids.interface = more.interface;
    }
}

} // namespace

UsbIds UsbIdsOfId(std::string_view id) {
    UsbIds ids;
    const auto slash = id.find('\\');
    const std::string_view enumerator = id.substr(0, slash);
    const auto is = [&](std::string_view name) {
        return enumerator.size() == name.size() && StartsWithNoCase(enumerator, name);
    };
    if (slash == std::string_view::npos || !(is("USB") || is("FTDIBUS"))) {
        return ids;
    }
    std::string_view fields = id.substr(slash + 1);
    fields = fields.substr(0, fields.find('\\'));
    while (!fields.empty()) {
        const auto end = fields.find_first_of("&+");
        const std::string_view field = fields.substr(0, end);
        for (const auto& [prefix, digits, value] :
             {std::tuple{"VID_", 4, &ids.vendor}, std::tuple{"PID_", 4, &ids.product},
              std::tuple{"REV_", 4, &ids.revision}, std::tuple{"MI_", 2, &ids.interface}}) {
            if (StartsWithNoCase(field, prefix)) {
                *value = HexField(field, prefix, std::size_t(digits));
            }
        }
        fields = end == std::string_view::npos ? std::string_view() : fields.substr(end + 1);
    }
    return ids;
}

UsbIds UsbIdsOfPort(const std::vector<std::string>& hardwareIds, std::string_view instanceId,
                    const std::function<std::vector<std::string>()>& parentHardwareIds) {
    UsbIds ids;
    for (const std::string& id : hardwareIds) {
        Merge(ids, UsbIdsOfId(id));
    }
    Merge(ids, UsbIdsOfId(instanceId));
    if (ids.vendor >= 0 && (ids.revision < 0 || ids.interface < 0) && parentHardwareIds) {
        for (const std::string& id : parentHardwareIds()) {
            Merge(ids, UsbIdsOfId(id));
        }
    }
    return ids;
}

} // namespace ports
