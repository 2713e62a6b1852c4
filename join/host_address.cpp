#include "join/host_address.h"

#include <algorithm>
#include <charconv>
#include <istream>
#include <sstream>

#include "base/read_at_most.h"

namespace {

constexpr size_t kMaxRouteTableBytes = 64 * 1024;
constexpr unsigned long kRouteUp = 0x1;  // RTF_UP

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool isShown(const InterfaceAddress& a) {
    return a.up && !a.ipv4.empty() && !a.loopback && !startsWith(a.ipv4, "127.") && !startsWith(a.ipv4, "0.");
}

// Lower comes first: the default route's interface, then the rest, then link-local.
int rank(const InterfaceAddress& a, const std::string& defaultRoute) {
    if (startsWith(a.ipv4, "169.254.")) return 2;
    return a.name == defaultRoute ? 0 : 1;
}

// The distinct addresses worth showing, best first.
std::vector<std::string> shownAddresses(const std::vector<InterfaceAddress>& interfaces,
                                        const std::string& defaultRoute) {
    std::vector<InterfaceAddress> shown;
    std::copy_if(interfaces.begin(), interfaces.end(), std::back_inserter(shown), isShown);
    std::stable_sort(shown.begin(), shown.end(), [&](const InterfaceAddress& a, const InterfaceAddress& b) {
        return rank(a, defaultRoute) < rank(b, defaultRoute);
    });
    std::vector<std::string> addresses;
    for (const InterfaceAddress& a : shown) {
        if (std::find(addresses.begin(), addresses.end(), a.ipv4) == addresses.end()) addresses.push_back(a.ipv4);
    }
    return addresses;
}

bool readHex(const std::string& text, unsigned long& value) {
    if (text.empty() || text.size() > 8) return false;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, 16);
    return result.ec == std::errc() && result.ptr == end;
}

// One row of the route table when it is a default route that is up: its interface and metric.
bool readDefaultRoute(const std::string& row, std::string& name, long& metric) {
    std::istringstream fields(row);
    std::string destination, gateway, flags, refCount, use, mask;
    unsigned long destinationValue = 1, flagValue = 0, maskValue = 1;
    if (!(fields >> name >> destination >> gateway >> flags >> refCount >> use >> metric >> mask)) return false;
    return readHex(destination, destinationValue) && readHex(flags, flagValue) && readHex(mask, maskValue) &&
           destinationValue == 0 && maskValue == 0 && (flagValue & kRouteUp) != 0;
}

}  // namespace

std::string chooseListeningAddress(const std::vector<InterfaceAddress>& interfaces, const std::string& defaultRoute,
                                   int32_t port) {
    const std::string portText = ":" + std::to_string(port);
    const std::vector<std::string> addresses = shownAddresses(interfaces, defaultRoute);
    if (addresses.empty()) return "this machine only: 127.0.0.1" + portText;
    if (addresses.size() == 1) return addresses.front() + portText;
    return addresses.front() + portText + " (+" + std::to_string(addresses.size() - 1) + " more)";
}

std::vector<std::string> broadcastAddresses(const std::vector<InterfaceAddress>& interfaces) {
    std::vector<std::string> addresses;
    for (const InterfaceAddress& a : interfaces) {
        const bool wanted = a.up && !a.loopback && !a.ipv4.empty() && !a.broadcast.empty();
        if (wanted && std::find(addresses.begin(), addresses.end(), a.broadcast) == addresses.end()) {
            addresses.push_back(a.broadcast);
        }
    }
    return addresses;
}

std::string defaultRouteInterface(std::istream& routeTable) {
    std::istringstream rows(readAtMost(routeTable, kMaxRouteTableBytes));
    std::string row, best;
    long bestMetric = 0;
    while (std::getline(rows, row)) {
        std::string name;
        long metric = 0;
        if (readDefaultRoute(row, name, metric) && (best.empty() || metric < bestMetric)) {
            best = name;
            bestMetric = metric;
        }
    }
    return best;
}
