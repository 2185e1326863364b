#pragma once

#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

// A reader of skyglow data files written from the standard's rules alone, sharing nothing
// with the writer: ASCII, CR LF, no tabs or blank lines, "# " header lines counted from
// line 3, six ";" fields per record with fixed decimals. Throws std::runtime_error naming
// the first rule broken.
struct TParsedSkyglowFile {
    std::vector<std::string> Header; // without "# "
    struct TRecord {
        std::string Utc, Local;
        double Temperature, Counts, Frequency, Msas;
    };
    std::vector<TRecord> Records;
};

inline TParsedSkyglowFile ParseSkyglowFile(const std::string& bytes) {
    const auto fail = [](const std::string& why) { throw std::runtime_error(why); };
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) > 0x7E || c == '\t' ||
            (static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n'))
            fail("a byte that is not printable ASCII");
    if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0)
        fail("the file does not end in CR LF");
    std::vector<std::string> lines;
    for (std::size_t begin = 0; begin < bytes.size();) {
        const std::size_t end = bytes.find("\r\n", begin);
        const std::string line = bytes.substr(begin, end - begin);
        if (line.find_first_of("\r\n") != std::string::npos)
            fail("a line end other than CR LF");
        if (line.empty())
            fail("a blank line");
        lines.push_back(line);
        begin = end + 2;
    }
    const std::string countPrefix = "# Number of header lines: ";
    if (lines.size() < 3 || lines[2].rfind(countPrefix, 0) != 0)
        fail("line 3 does not give the number of header lines");
    const std::size_t count = std::stoul(lines[2].substr(countPrefix.size()));
    if (count > lines.size() || lines[count - 1] != "# END OF HEADER")
        fail("the header does not end where line 3 says");
    TParsedSkyglowFile parsed;
    for (std::size_t i = 0; i < count; ++i) {
        if (lines[i].rfind("# ", 0) != 0)
            fail("header line " + std::to_string(i + 1) + " does not start with \"# \"");
        if (lines[i].size() > 150 && lines[i].rfind("# Comment: ", 0) != 0)
            fail("header line " + std::to_string(i + 1) + " is longer than 150 characters");
        parsed.Header.push_back(lines[i].substr(2));
    }
    const std::string time = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})";
    const std::regex record("(" + time + ");(" + time +
                            R"();(-?\d+\.\d{2});(\d+\.\d{3});(\d+\.\d{3});(-?\d+\.\d{2,3}))");
    for (std::size_t i = count; i < lines.size(); ++i) {
        std::smatch m;
        if (!std::regex_match(lines[i], m, record))
            fail("record line " + std::to_string(i + 1) + " breaks the layout: " + lines[i]);
        parsed.Records.push_back(
            {m[1], m[2], std::stod(m[3]), std::stod(m[4]), std::stod(m[5]), std::stod(m[6])});
    }
    return parsed;
}
