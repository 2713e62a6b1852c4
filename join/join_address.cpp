#include "join/join_address.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr int32_t kMaxPort = 65535;
constexpr size_t kMaxLabelLength = 63;
constexpr size_t kMaxEchoedLength = 12;  // of the player's text repeated in a reason

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool allDigits(const std::string& s) { return !s.empty() && std::all_of(s.begin(), s.end(), isDigit); }

// Reads decimal digits into `value`; false when they are not all digits or overflow.
bool readNumber(const std::string& digits, int32_t& value) {
    if (!allDigits(digits)) return false;
    const char* end = digits.data() + digits.size();
    return std::from_chars(digits.data(), end, value).ec == std::errc();
}

bool isPort(int32_t port) { return port >= 1 && port <= kMaxPort; }

// A part of the player's text to repeat in a reason, cut to fit under the prompt.
std::string echoed(const std::string& text) {
    return text.size() <= kMaxEchoedLength ? text : text.substr(0, kMaxEchoedLength) + "..";
}

// Four decimal numbers 0..255 without leading zeros, which some resolvers read as octal.
bool isIPv4Address(const std::string& host) {
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = host.find('.', start);
        if ((part < 3) == (dot == std::string::npos)) return false;
        const std::string number = host.substr(start, dot - start);
        int32_t value = 0;
        if ((number.size() > 1 && number[0] == '0') || !readNumber(number, value) || value > 255) return false;
        start = dot + 1;
    }
    return true;
}

bool isLabel(const std::string& label) {
    if (label.empty() || label.size() > kMaxLabelLength || label.front() == '-' || label.back() == '-') return false;
    return std::all_of(label.begin(), label.end(), [](char c) { return isLetter(c) || isDigit(c) || c == '-'; });
}

bool isHostName(const std::string& host) {
    size_t start = 0;
    while (true) {
        const size_t dot = host.find('.', start);
        if (!isLabel(host.substr(start, dot - start))) return false;
        if (dot == std::string::npos) return true;
        start = dot + 1;
    }
}

bool looksNumeric(const std::string& host) {
    return std::all_of(host.begin(), host.end(), [](char c) { return isDigit(c) || c == '.'; });
}

// The reason `host` cannot be joined, or "" when it can.
std::string hostProblem(const std::string& host) {
    if (host.empty()) return "no host before ':'";
    if (looksNumeric(host)) return isIPv4Address(host) ? "" : "not an IPv4 address: " + echoed(host);
    return isHostName(host) ? "" : "not a host name";
}

// The reason the text as a whole cannot be an address, or "" when it may be one.
std::string textProblem(const std::string& text) {
    if (text.empty()) return "type a host name or address";
    if (text.size() > kMaxJoinTextLength) return "too long";
    if (!std::all_of(text.begin(), text.end(), isJoinTextCharacter)) return "only letters, digits, - . and :";
    if (std::count(text.begin(), text.end(), ':') > 1) return "IPv6 is not supported";
    return "";
}

// Reads the port after the ':' or takes the default; the reason when neither gives one.
std::string portProblem(const std::string& text, size_t colon, int32_t defaultPort, int32_t& port) {
    if (colon == std::string::npos) {
        port = defaultPort;
        return isPort(port) ? "" : "no port: add :PORT";
    }
    const std::string digits = text.substr(colon + 1);
    if (digits.empty()) return "no port after ':'";
    if (!readNumber(digits, port) || !isPort(port)) return "not a port: " + echoed(digits);
    return "";
}

}  // namespace

bool isJoinTextCharacter(char c) { return isLetter(c) || isDigit(c) || c == '-' || c == '.' || c == ':'; }

bool parseJoinText(const std::string& text, int32_t defaultPort, JoinAddress& out, std::string& reason) {
    reason = textProblem(text);
    const size_t colon = text.find(':');
    JoinAddress parsed;
    parsed.host = text.substr(0, colon);
    if (reason.empty()) reason = hostProblem(parsed.host);
    if (reason.empty()) reason = portProblem(text, colon, defaultPort, parsed.port);
    if (!reason.empty()) return false;
    out = parsed;
    return true;
}

bool isJoinText(const std::string& text) {
    JoinAddress ignored;
    std::string reason;
    return parseJoinText(text, 1, ignored, reason);
}
