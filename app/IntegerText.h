#pragma once

#include <QString>

// Converts the whole text (blanks around it allowed) to a 32-bit integer; false, and value
// untouched, when it is not one.
inline bool TryStrToInt(const QString& text, int& value) {
    bool ok = false;
    const int converted = text.toInt(&ok, 10);
    if (ok)
        value = converted;
    return ok;
}
