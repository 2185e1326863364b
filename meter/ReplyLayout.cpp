#include "meter/ReplyLayout.h"

namespace {

// '#': a digit; '_': a sign (a blank for plus, '-' for minus); '%': the decimal point of a
// number that Nightlux converts (any byte but a digit or a line end). Every other character
// stands for itself.
constexpr std::string_view ReadingLayout =
    "r,_##%##m,##########Hz,##########c,#######.###s,_###%#C";
constexpr std::string_view UnitInfoLayout = "i,########,########,########,########";
constexpr std::string_view CalibrationLayout =
    "c,########.##m,#######.###s,_###.#C,########.##m,_###.#C";

std::string_view LayoutOf(char type) {
    switch (type) {
    case 'r':
        return ReadingLayout;
    case 'i':
        return UnitInfoLayout;
    case 'c':
        return CalibrationLayout;
    default:
        return {};
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool Fits(char c, char layout) {
    switch (layout) {
    case '#':
        return IsDigit(c);
    case '_':
        return c == ' ' || c == '-';
    case '%':
        return !IsDigit(c) && c != '\r' && c != '\n';
    default:
        return c == layout;
    }
}

} // namespace

std::size_t ReplyLayoutLength(char type) {
    return LayoutOf(type).size();
}

bool FitsReplyLayout(std::string_view line) {
    if (line.empty())
        return false;
    const std::string_view layout = LayoutOf(line[0]);
    if (layout.empty() || line.size() != layout.size())
        return false;
    for (std::size_t i = 0; i < line.size(); ++i)
        if (!Fits(line[i], layout[i]))
            return false;
    return true;
}
