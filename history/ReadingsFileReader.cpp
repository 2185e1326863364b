#include "history/ReadingsFileReader.h"

#include "history/LineFile.h"
#include "history/Night.h"
#include "platform/DateTime.h"
#include "platform/Exception.h"

#include <charconv>
#include <optional>

namespace {

constexpr std::string_view ProducedByPrefix = "Produced by Nightlux ";
constexpr std::string_view ColumnsLine =
    "Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,Feature,Temp(C),,,,";
constexpr std::size_t FieldCount = 13;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits and separators laid out as pattern says: 'd' a digit, anything else itself.
bool Matches(std::string_view text, std::string_view pattern) {
    if (text.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (pattern[i] == 'd' ? !IsDigit(text[i]) : text[i] != pattern[i])
            return false;
    return true;
}

int Number(std::string_view digits) {
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

// "YYYY/MM/DD" and "HH:MM:SS" as the record writes them, a real date and clock time.
std::optional<TLocalTime> DateAndTime(std::string_view date, std::string_view clock) {
    if (!Matches(date, "dddd/dd/dd") || !Matches(clock, "dd:dd:dd"))
        return std::nullopt;
    const int year = Number(date.substr(0, 4)), month = Number(date.substr(5, 2)),
              day = Number(date.substr(8, 2));
    const int hour = Number(clock.substr(0, 2)), minute = Number(clock.substr(3, 2)),
              second = Number(clock.substr(6, 2));
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    using namespace std::chrono;
    return local_days{std::chrono::year{year} / month / day} + hours{hour} + minutes{minute} +
           seconds{second};
}

// A fixed-point number written with exactly `decimals` decimals ("%.2f", "%.1f", "%04.1f").
std::optional<double> Fixed(std::string_view text, std::size_t decimals) {
    const std::size_t point = text.find('.');
    const std::size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
    if (point == std::string_view::npos || point <= sign || text.size() - point - 1 != decimals)
        return std::nullopt;
    for (std::size_t i = sign; i < text.size(); ++i)
        if (i != point && !IsDigit(text[i]))
            return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// ISO-8859-1 to UTF-8.
std::string Utf8(std::string_view latin1) {
    std::string text;
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::string_view::npos)
            return fields;
        start = comma + 1;
    }
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || (byte >= 0x7F && byte <= 0x9F);
}

} // namespace

std::optional<TNightReading> ParseReadingsRecord(std::string_view line) {
    for (const char c : line)
        if (IsControl(c))
            return std::nullopt;
    const std::vector<std::string_view> f = Fields(line);
    if (f.size() != FieldCount)
        return std::nullopt;
    for (std::size_t i = 9; i < FieldCount; ++i)
        if (!f[i].empty())
            return std::nullopt;
    const std::optional<TLocalTime> time = DateAndTime(f[0], f[1]);
    const std::optional<double> magnitude = Fixed(f[2], 2);
    const std::optional<double> nelm = Fixed(f[3], 1);
    const std::optional<double> temperature = Fixed(f[8], 1);
    if (!time || !magnitude || !nelm || !temperature || f[8].size() < 4)
        return std::nullopt;
    return TNightReading{*time,      *magnitude, *nelm,      *temperature,
                         Utf8(f[4]), Utf8(f[5]), Utf8(f[6]), Utf8(f[7])};
}

namespace {

// One line of a readings file into contents; `keep` says whether a record is kept.
template <typename TKeep>
void TakeLine(TReadingsFileContents& contents, std::string_view line, std::size_t number,
              const TKeep& keep) {
    if (line.starts_with(ProducedByPrefix)) {
        if (number == 1)
            contents.ProducedBy = Utf8(line.substr(ProducedByPrefix.size()));
    } else if (line != ColumnsLine) {
        if (std::optional<TNightReading> reading = ParseReadingsRecord(line)) {
            if (keep(*reading))
                contents.Readings.push_back(std::move(*reading));
        } else {
            contents.DamagedLines.push_back(number);
        }
    }
}

// Damaged-line numbers kept from a file: enough to name them, bounded for any file.
constexpr std::size_t DamagedLinesKept = 1000;

} // namespace

TReadingsFileContents ParseReadingsText(std::string_view bytes) {
    TReadingsFileContents contents;
    std::size_t number = 0;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t lineFeed = bytes.find('\n', start);
        const bool ended = lineFeed != std::string_view::npos;
        std::string_view line = bytes.substr(start, ended ? lineFeed - start : bytes.npos);
        if (ended && line.ends_with('\r'))
            line.remove_suffix(1);
        start = ended ? lineFeed + 1 : bytes.size();
        TakeLine(contents, line, ++number, [](const TNightReading&) { return true; });
    }
    return contents;
}

TReadingsFileContents ReadReadingsFile(const std::string& fileName) {
    TReadingsFileContents contents;
    std::size_t damaged = 0;
    ReadFileLines(fileName, [&](std::string_view line, std::size_t number, bool cut) {
        const std::size_t before = contents.DamagedLines.size();
        if (cut)
            contents.DamagedLines.push_back(number);
        else
            TakeLine(contents, line, number, [](const TNightReading&) { return true; });
        if (contents.DamagedLines.size() > before && ++damaged > DamagedLinesKept)
            contents.DamagedLines.pop_back();
        return true;
    });
    contents.DamagedCount = damaged;
    return contents;
}

TReadingsFileContents ReadReadingsFileNight(const std::string& fileName,
                                            const std::optional<TNight>& night) {
    TReadingsFileContents contents;
    std::size_t damaged = 0;
    std::optional<TNight> latest = night;
    ReadFileLines(fileName, [&](std::string_view line, std::size_t number, bool cut) {
        const std::size_t before = contents.DamagedLines.size();
        if (cut)
            contents.DamagedLines.push_back(number);
        else
            TakeLine(contents, line, number, [&](const TNightReading& reading) {
                const TNight of = TNight::Of(reading.Time);
                if (night)
                    return of == *night;
                // The latest night so far: a later one starts over.
                if (latest && of.GetEvening() < latest->GetEvening())
                    return false;
                if (!latest || of.GetEvening() > latest->GetEvening()) {
                    latest = of;
                    contents.Readings.clear();
                }
                return true;
            });
        if (contents.DamagedLines.size() > before && ++damaged > DamagedLinesKept)
            contents.DamagedLines.pop_back();
        return true;
    });
    contents.DamagedCount = damaged;
    contents.Night = latest;
    return contents;
}

bool IsReadingsHeaderLine(std::string_view line) {
    return line.starts_with(ProducedByPrefix) || line == ColumnsLine;
}
