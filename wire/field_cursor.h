#pragma once
// Walks the comma-separated fields of a message's payload without copying it,
// so that a long hostile text costs time in proportion to its length only.
// Every read checks its field whole: a field that is not the number asked for
// is a failure, never a 0.

#include <cstddef>
#include <cstdint>
#include <string_view>

class FieldCursor {
public:
    // An empty text has no fields; "a,b" has two, "a," has two (the second empty).
    explicit FieldCursor(std::string_view text);

    bool atEnd() const { return position > text.size(); }
    // The number of fields not yet read.
    size_t fieldsLeft() const;

    bool next(std::string_view& field);  // false past the last field
    bool nextInt(int32_t& value);        // a whole decimal integer
    bool nextFloat(float& value);        // a finite number

private:
    std::string_view text;
    size_t position = 0;
};
