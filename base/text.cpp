#include "base/text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>

namespace {

// What a stream reads at the front of the text. After a failure `read` holds 0,
// or the type's nearest end when the number was too large for it.
template <typename T>
bool streamRead(const std::string& text, T& read) {
    std::stringstream stream(text);
    return static_cast<bool>(stream >> read);
}

template <typename T>
bool extract(const std::string& text, T& value) {
    T read{};
    if (!streamRead(text, read)) {
        return false;
    }
    value = read;
    return true;
}

template <typename T>
NumberRead readOrSayWhy(const std::string& text, T& value) {
    T read{};
    if (streamRead(text, read)) {
        value = read;
        return NumberRead::Read;
    }
    if (read != std::numeric_limits<T>::max() && read != std::numeric_limits<T>::lowest()) {
        return NumberRead::NotANumber;
    }
    value = read;
    return NumberRead::TooLarge;
}

template <typename T>
bool parseWhole(std::string_view text, T& value) {
    T read{};
    const char* end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, read);
    if (text.empty() || result.ec != std::errc() || result.ptr != end) {
        return false;
    }
    value = read;
    return true;
}

template <typename T>
std::string written(T value) {
    std::ostringstream stream;
    stream << value;
    return stream.str();
}

}  // namespace

bool parseInt(const std::string& text, int32_t& value) { return extract(text, value); }

bool parseWholeInt(std::string_view text, int32_t& value) { return parseWhole(text, value); }
bool parseWholeUint(std::string_view text, uint32_t& value) { return parseWhole(text, value); }

bool parseWholeFloat(std::string_view text, float& value) {
    float read = 0.0f;
    if (!parseWhole(text, read) || !std::isfinite(read)) {
        return false;
    }
    value = read;
    return true;
}

NumberRead readNumber(const std::string& text, int64_t& value) { return readOrSayWhy(text, value); }
NumberRead readNumber(const std::string& text, float& value) { return readOrSayWhy(text, value); }

std::string toText(int32_t value) { return written(value); }
std::string toText(uint32_t value) { return written(value); }
std::string toText(float value) { return written(value); }
