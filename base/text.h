#pragma once
// Conversions between numbers and text. Every number in a file, a message or a
// length prefix passes through these, so their formatting is the wire format:
// a float is written as a default-formatted stream writes it (6 significant digits).

#include <cstdint>
#include <string>
#include <string_view>

// Front form: reads the longest number at the front of the text (leading blanks
// skipped, trailing text ignored); false when there is none or it does not fit.
bool parseInt(const std::string& text, int32_t& value);

// Whole forms: the text is one number and nothing else (no blanks, no sign '+'),
// and a float is finite. False, with `value` untouched, for anything else.
bool parseWholeInt(std::string_view text, int32_t& value);
bool parseWholeUint(std::string_view text, uint32_t& value);
bool parseWholeFloat(std::string_view text, float& value);

// As the front forms, for a reader that names why a number was refused. A number
// too large for the type is TooLarge and leaves `value` at the type's nearest end;
// NotANumber leaves `value` as it was.
enum class NumberRead { Read, NotANumber, TooLarge };
NumberRead readNumber(const std::string& text, int64_t& value);
NumberRead readNumber(const std::string& text, float& value);

std::string toText(int32_t value);
std::string toText(uint32_t value);
std::string toText(float value);
