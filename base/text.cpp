#include "base/text.h"

#include <limits>
#include <sstream>

#include "render/frame.h"

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
std::string write(T value) {
    std::ostringstream stream;
    stream << value;
    return stream.str();
}

}  // namespace

bool parseInt(const std::string& text, int32_t& value) { return extract(text, value); }
bool parseFloat(const std::string& text, float& value) { return extract(text, value); }
bool parseBool(const std::string& text, bool& value) { return extract(text, value); }

NumberRead readNumber(const std::string& text, int64_t& value) { return readOrSayWhy(text, value); }
NumberRead readNumber(const std::string& text, float& value) { return readOrSayWhy(text, value); }

int32_t toInt(const std::string& text) {
    int32_t value = 0;
    parseInt(text, value);
    return value;
}

float toFloat(const std::string& text) {
    float value = 0.0f;
    parseFloat(text, value);
    return value;
}

bool toBool(const std::string& text) {
    bool value = false;
    parseBool(text, value);
    return value;
}

std::string toText(int32_t value) { return write(value); }
std::string toText(uint32_t value) { return write(value); }
std::string toText(float value) { return write(value); }

void splitAtBar(const std::string& text, std::string& head, std::string& tail) {
    const size_t bar = text.find('|');
    if (bar == std::string::npos) {
        head = text;
        tail = text;
        return;
    }
    head = text.substr(0, bar);
    tail = text.substr(bar + 1);
}

std::string takeField(std::string& rest) {
    const size_t comma = rest.find(',');
    if (comma == std::string::npos) {
        return rest;
    }
    std::string field = rest.substr(0, comma);
    rest.erase(0, comma + 1);
    return field;
}

std::string frameToText(const Frame& frame) {
    std::string text;
    for (float element : frame.matrix) {
        text += toText(element);
        text += ',';
    }
    text.pop_back();
    return text;
}

void frameFromText(Frame& frame, const std::string& text) {
    std::string rest = text;
    for (float& element : frame.matrix) {
        element = toFloat(takeField(rest));
    }
}
