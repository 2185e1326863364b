#pragma once

#include "history/Night.h"
#include "history/NightReading.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The readings file read back by the rules it is written by: 8-bit text (ISO-8859-1), lines
// ending in CR LF (LF alone is accepted too), the two header lines of a new file, then one
// record of thirteen comma-separated fields per reading:
//   2017/03/21,21:30:15,19.53,5.2,00001234,00000004,00000003,00000010,05.3,,,,
// A line that is neither a header line nor such a record is damaged: it is skipped and its
// number noted, and reading goes on. Header lines further down (files joined end to end) are
// skipped as headers.
struct TReadingsFileContents {
    std::vector<TNightReading> Readings;   // in file order
    std::vector<std::size_t> DamagedLines; // 1-based line numbers
    std::string ProducedBy;                // the first header line's text after "Nightlux "
    // From a file: all damaged lines (DamagedLines keeps the first 1000 numbers).
    std::size_t DamagedCount = 0;
    // ReadReadingsFileNight: the night read.
    std::optional<TNight> Night;
};

// One record line (its line end taken off); none when it is not a record.
std::optional<TNightReading> ParseReadingsRecord(std::string_view line);

// Whether a line is one of the readings file's header lines.
bool IsReadingsHeaderLine(std::string_view line);

TReadingsFileContents ParseReadingsText(std::string_view bytes);

// Reads a whole file line by line (never the file at once); raises Exception "Could not read
// <file name>: <reason>" when it cannot be opened or read, or is not a regular file (a device
// such as /dev/zero, a FIFO, a folder), naming which. A damaged line is never an error.
TReadingsFileContents ReadReadingsFile(const std::string& fileName);

// The readings of one night only (none given: the night of the file's latest reading), so
// that memory follows the night, not the file. Raises as ReadReadingsFile does.
TReadingsFileContents ReadReadingsFileNight(const std::string& fileName,
                                            const std::optional<TNight>& night);
