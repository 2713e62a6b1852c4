#include "wire/field_cursor.h"

#include <algorithm>

#include "base/text.h"

FieldCursor::FieldCursor(std::string_view fields) : text(fields), position(fields.empty() ? 1 : 0) {}

size_t FieldCursor::fieldsLeft() const {
    if (atEnd()) {
        return 0;
    }
    const std::string_view rest = text.substr(position);
    return static_cast<size_t>(std::count(rest.begin(), rest.end(), ',')) + 1;
}

bool FieldCursor::next(std::string_view& field) {
    if (atEnd()) {
        return false;
    }
    size_t comma = text.find(',', position);
    if (comma == std::string_view::npos) {
        comma = text.size();
    }
    field = text.substr(position, comma - position);
    position = comma + 1;
    return true;
}

bool FieldCursor::nextInt(int32_t& value) {
    std::string_view field;
    return next(field) && parseWholeInt(field, value);
}

bool FieldCursor::nextFloat(float& value) {
    std::string_view field;
    return next(field) && parseWholeFloat(field, value);
}
