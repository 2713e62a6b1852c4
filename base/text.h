#pragma once
// Conversions between numbers and text. Every number in a file, a message or a
// length prefix passes through these, so their formatting is the wire format:
// a float is written as a default-formatted stream writes it (6 significant digits).

#include <cstdint>
#include <string>

class Frame;

// Strict forms: read the longest number at the front of the text (leading blanks
// skipped, trailing text ignored); false when there is none or it does not fit.
bool parseInt(const std::string& text, int32_t& value);
bool parseFloat(const std::string& text, float& value);
bool parseBool(const std::string& text, bool& value);

// As the strict forms, for a reader that names why a number was refused. A number
// too large for the type is TooLarge and leaves `value` at the type's nearest end;
// NotANumber leaves `value` as it was.
enum class NumberRead { Read, NotANumber, TooLarge };
NumberRead readNumber(const std::string& text, int64_t& value);
NumberRead readNumber(const std::string& text, float& value);

// Lenient forms: 0, 0.0 or false when the text holds no number.
int32_t toInt(const std::string& text);
float toFloat(const std::string& text);
bool toBool(const std::string& text);

std::string toText(int32_t value);
std::string toText(uint32_t value);
std::string toText(float value);

// Splits at the first '|'. Without a bar, head and tail are both the whole text.
void splitAtBar(const std::string& text, std::string& head, std::string& tail);

// A frame's 16 matrix elements in storage order, comma separated.
std::string frameToText(const Frame& frame);
// Replaces the frame's 16 elements; a short text hands its last field to the rest.
void frameFromText(Frame& frame, const std::string& text);

// Cuts the next comma-separated field off the front of `rest` (all of it when
// there is no comma). A text with fewer fields than read repeats its last one.
std::string takeField(std::string& rest);
