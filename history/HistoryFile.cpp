#include "history/HistoryFile.h"

#include "history/LineFile.h"
#include "history/ReadingsFileReader.h"
#include "platform/Exception.h"
#include "platform/LocalTime.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <utility>

namespace {

constexpr std::string_view SkyglowFirstLine =
    "# Definition of the community standard for skyglow observations";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || !IsDigit(text[i]))
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::optional<double> Number(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
    using namespace std::chrono;
    return sys_days{year{y} / month{m} / day{d}}.time_since_epoch().count();
}

std::vector<std::string_view> Split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = line.find(separator, start);
        fields.push_back(line.substr(start, at - start));
        if (at == std::string_view::npos)
            return fields;
        start = at + 1;
    }
}

// The instant of a readings file's local clock time. Where the clock is set back the same
// local time happens twice: the earlier instant that is not before the previous reading is
// taken, so a night across the change keeps both passes of the repeated hour.
class TLocalToUtc {
public:
    std::int64_t Seconds(TLocalTime local) {
        const std::int64_t asUtc = local.time_since_epoch().count();
        const std::int64_t hour = asUtc / 3600 - (asUtc % 3600 < 0);
        if (hour != CachedHour) {
            CachedHour = hour;
            Offsets[0] = GetUtcOffsetAt(asUtc - 43200);
            Offsets[1] = GetUtcOffsetAt(asUtc + 43200);
        }
        std::int64_t candidates[2];
        int found = 0;
        for (const long offset : Offsets) {
            const std::int64_t candidate = asUtc - offset;
            if (GetUtcOffsetAt(candidate) == offset && (found == 0 || candidates[0] != candidate))
                candidates[found++] = candidate;
        }
        if (found == 2 && candidates[1] < candidates[0])
            std::swap(candidates[0], candidates[1]);
        std::int64_t best;
        if (found == 0) // skipped when the clock goes forward: as the platform resolves it
            best = FromFields(local);
        else if (found == 2 && candidates[0] < Previous && candidates[1] >= Previous)
            best = candidates[1];
        else
            best = candidates[0];
        Previous = best;
        return best;
    }

private:
    static std::int64_t FromFields(TLocalTime local) {
        using namespace std::chrono;
        const local_days day = floor<days>(local);
        const year_month_day date{day};
        const hh_mm_ss clock{local - day};
        return LocalToUnixTime(int(date.year()), int(unsigned(date.month())),
                               int(unsigned(date.day())), int(clock.hours().count()),
                               int(clock.minutes().count()), int(clock.seconds().count()));
    }

    std::int64_t CachedHour = INT64_MIN;
    long Offsets[2] = {0, 0};
    std::int64_t Previous = INT64_MIN;
};

} // namespace

std::optional<std::int64_t> ParseIsoMs(std::string_view text) {
    text = Trim(text);
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' ||
        (text[10] != 'T' && text[10] != ' ') || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const int y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2),
              h = Digits(text, 11, 2), mi = Digits(text, 14, 2), s = Digits(text, 17, 2);
    int ms = 0;
    if (text.size() > 19) {
        const std::size_t decimals = text.size() - 20;
        if (text[19] != '.' || decimals < 1 || decimals > 3)
            return std::nullopt;
        ms = Digits(text, 20, decimals);
        for (std::size_t i = decimals; i < 3; ++i)
            ms *= 10;
    }
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 ||
        s > 59 || ms < 0)
        return std::nullopt;
    using namespace std::chrono;
    if (!year_month_day{year{y} / month(unsigned(mo)) / day(unsigned(d))}.ok())
        return std::nullopt;
    return ((DaysFromCivil(y, unsigned(mo), unsigned(d)) * 24 + h) * 60 + mi) * 60000LL +
           s * 1000LL + ms;
}

void THistoryFileParser::Damaged(std::size_t number) {
    ++Contents.DamagedCount;
    if (Contents.DamagedLines.size() < Kept)
        Contents.DamagedLines.push_back(number);
}

void THistoryFileParser::HeaderLine(std::string_view text) {
    // text: the line after "#"
    text = Trim(text);
    const std::size_t colon = text.find(':');
    const std::string_view key = Trim(text.substr(0, colon));
    const std::string_view value =
        colon == std::string_view::npos ? std::string_view() : Trim(text.substr(colon + 1));
    if (colon != std::string_view::npos && key.starts_with("Position")) {
        const std::vector<std::string_view> parts = Split(value, ',');
        if (parts.size() >= 2) {
            const std::optional<double> lat = Number(parts[0]), lon = Number(parts[1]);
            const std::optional<double> elev =
                parts.size() >= 3 ? Number(parts[2]) : std::optional<double>(0.0);
            if (lat && lon && std::fabs(*lat) <= 90 && std::fabs(*lon) <= 180)
                Contents.Site = TPosition{*lat, *lon, elev && std::fabs(*elev) < 10000 ? *elev : 0};
        }
    } else if (colon != std::string_view::npos && key == "Location name") {
        Contents.SiteName = std::string(value);
    } else if (colon != std::string_view::npos && key == "Number of header lines") {
        if (const std::optional<double> count = Number(value))
            HeaderCount = int(*count);
    } else if (colon == std::string_view::npos && text.find("MSAS") != std::string_view::npos) {
        // The column-names line: "UTC Date & Time, Local Date & Time, ..., MSAS[, Record type]"
        const std::vector<std::string_view> names = Split(text, ',');
        UtcColumn = LocalColumn = MpsasColumn = -1;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string_view name = Trim(names[i]);
            if (name.starts_with("UTC") && UtcColumn < 0)
                UtcColumn = int(i);
            else if (name.starts_with("Local") && LocalColumn < 0)
                LocalColumn = int(i);
            else if (name == "MSAS" || name.starts_with("MSAS"))
                MpsasColumn = int(i);
        }
        ColumnCount = int(names.size());
    }
}

bool THistoryFileParser::SkyglowRecord(std::string_view line) {
    if (UtcColumn < 0 || LocalColumn < 0 || MpsasColumn < 0)
        return false;
    const std::vector<std::string_view> fields = Split(line, ';');
    // The last field may be followed by a ';'; a data logger may add a record-type column.
    std::size_t count = fields.size();
    if (count > 1 && Trim(fields.back()).empty())
        --count;
    if (int(count) < ColumnCount && int(count) <= std::max({UtcColumn, LocalColumn, MpsasColumn}))
        return false;
    if (int(count) > ColumnCount + 1)
        return false;
    const std::optional<std::int64_t> utc = ParseIsoMs(fields[std::size_t(UtcColumn)]);
    const std::optional<std::int64_t> local = ParseIsoMs(fields[std::size_t(LocalColumn)]);
    const std::optional<double> mpsas = Number(fields[std::size_t(MpsasColumn)]);
    if (!utc || !local || !mpsas || *mpsas < -5 || *mpsas > 30)
        return false;
    // The offset of local from UTC is at most a day.
    if (std::llabs(*local - *utc) > 26LL * 3600000)
        return false;
    const TLocalTime localTime{std::chrono::seconds(*local / 1000 - (*local % 1000 < 0))};
    Contents.Readings.push_back({*utc, localTime, float(*mpsas)});
    return true;
}

bool THistoryFileParser::ReadingsRecord(std::string_view line) {
    const std::optional<TNightReading> reading = ParseReadingsRecord(line);
    if (!reading)
        return false;
    // The instant is worked out in Finish, where the readings' order is known.
    Contents.Readings.push_back({0, reading->Time, float(reading->Magnitude)});
    return true;
}

bool THistoryFileParser::Line(std::string_view line, std::size_t number, bool cut) {
    if (!SeenFirst) {
        if (line.empty())
            return true;
        SeenFirst = true;
        if (line.starts_with(SkyglowFirstLine)) {
            Contents.Kind = THistoryFileKind::Skyglow;
        } else if (IsReadingsHeaderLine(line) || ParseReadingsRecord(line)) {
            Contents.Kind = THistoryFileKind::Readings;
        } else {
            Contents.Problem = "neither a readings file nor a skyglow data file";
            return false;
        }
    }
    if (cut) {
        Damaged(number);
        return true;
    }
    if (Contents.Kind == THistoryFileKind::Skyglow) {
        if (line.starts_with('#'))
            HeaderLine(line.substr(1));
        else if (!SkyglowRecord(line))
            Damaged(number);
    } else if (!IsReadingsHeaderLine(line) && !ReadingsRecord(line)) {
        Damaged(number);
    }
    return true;
}

THistoryFileContents THistoryFileParser::Finish() {
    if (Contents.Kind == THistoryFileKind::Unknown && Contents.Problem.empty())
        Contents.Problem = "empty";
    if (Contents.Kind == THistoryFileKind::Skyglow && MpsasColumn < 0 && Contents.Readings.empty())
        Contents.Problem = "a skyglow data file without a column-names line naming MSAS";
    if (Contents.Kind == THistoryFileKind::Readings) {
        TLocalToUtc toUtc;
        for (TFileReading& reading : Contents.Readings)
            reading.UtcMs = toUtc.Seconds(reading.Local) * 1000;
    }
    return std::move(Contents);
}

THistoryFileContents ReadHistoryFile(const std::string& fileName, std::size_t damagedLinesKept) {
    THistoryFileParser parser(damagedLinesKept);
    ReadFileLines(fileName, [&parser](std::string_view line, std::size_t number, bool cut) {
        return parser.Line(line, number, cut);
    });
    return parser.Finish();
}
