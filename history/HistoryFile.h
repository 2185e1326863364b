#pragma once

#include "astro/Sky.h"
#include "history/NightReading.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One reading as a file holds it, before the Sun and the Moon.
struct TFileReading {
    std::int64_t UtcMs = 0; // Unix time in milliseconds; a readings file's are worked out from
                            // the local time by the time zone's rules
    TLocalTime Local{};
    float Mpsas = 0;
};

enum class THistoryFileKind { Unknown, Readings, Skyglow };

struct THistoryFileContents {
    THistoryFileKind Kind = THistoryFileKind::Unknown;
    std::vector<TFileReading> Readings;    // in file order
    std::vector<std::size_t> DamagedLines; // 1-based
    std::size_t DamagedCount = 0;          // all of them; DamagedLines keeps the first few
    std::optional<TPosition> Site;         // a skyglow file's position line
    std::string SiteName;                  // its location name
    std::string Problem;                   // why an Unknown file is not taken
};

// Reads a Nightlux readings file or a skyglow data file (version 1.0) of any producer line by
// line: a skyglow file's header lines start with '#', any number of them; its columns are
// found by the column-names line (UTC, local time and MSAS; others such as Temperature,
// Counts, Frequency, Voltage, Record type are passed over); fields end with ';'. A readings
// file is the program's own thirteen-field layout. A line that fits neither is damaged.
class THistoryFileParser {
public:
    explicit THistoryFileParser(std::size_t damagedLinesKept = 10) : Kept(damagedLinesKept) {}
    // Returns false once the file is known to be neither kind: reading it can stop.
    bool Line(std::string_view line, std::size_t number, bool cut = false);
    // The contents; a file without a single line of either kind is Unknown.
    THistoryFileContents Finish();

private:
    void Damaged(std::size_t number);
    void HeaderLine(std::string_view text);
    bool SkyglowRecord(std::string_view line);
    bool ReadingsRecord(std::string_view line);

    std::size_t Kept;
    THistoryFileContents Contents;
    bool SeenFirst = false;
    // Skyglow columns: -1 until the column-names line.
    int UtcColumn = -1, LocalColumn = -1, MpsasColumn = -1;
    int ColumnCount = 0;
    std::optional<int> HeaderCount;
};

// A whole file through the parser; raises Exception as ReadFileLines does.
THistoryFileContents ReadHistoryFile(const std::string& fileName,
                                     std::size_t damagedLinesKept = 10);

// Parses text such as "2026-12-09T21:00:09.000" (the milliseconds optional, 1 to 3 digits);
// none for anything else or an impossible date.
std::optional<std::int64_t> ParseIsoMs(std::string_view text);
