// The simulated meter's command line: arguments separated by NUL bytes. It either gives a
// clear error or options within their documented ranges, and a meter with those options
// writes a reading whose fields read back to what it was given.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/ReadingAccessors.h"
#include "platform/Exception.h"
#include "tools/sim/SimCommandLine.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> args = PiecesBetweenNuls(data, size);
    TSimCommandLine line;
    try {
        line = ParseSimCommandLine(args);
    } catch (const Exception& e) {
        FUZZ_CHECK(*e.what() != '\0');
        return 0;
    }
    const TMeterOptions& m = line.Meter;
    FUZZ_CHECK(!(line.Pty && line.TcpPort));
    FUZZ_CHECK(!line.TcpPort || (*line.TcpPort >= 0 && *line.TcpPort <= 65535));
    FUZZ_CHECK(!m.Magnitude || std::fabs(*m.Magnitude) <= 99.99);
    FUZZ_CHECK(!m.Temperature || std::fabs(*m.Temperature) <= 999.9);

    const double magnitude = m.Magnitude.value_or(19.53);
    const double temperature = m.Temperature.value_or(5.3);
    TStoredLink link;
    link.ReadingReply = TMeterReplies(m).ReadingLine(magnitude, temperature);
    FUZZ_CHECK(link.ReadingReply.size() == 55);
    if (!m.NonNumeric)
        FUZZ_CHECK(std::fabs(link.GetMagnitude() - magnitude) <= 0.005 + 1e-9);
    FUZZ_CHECK(std::fabs(link.GetTemperature() - temperature) <= 0.05 + 1e-9);
    link.UnitInfoReply = TMeterReplies(m).UnitInfoLine();
    FUZZ_CHECK(std::stoi(link.GetSerialNumber()) == m.SerialNumber);
    FUZZ_CHECK(std::stoi(link.GetModelNumber()) == m.ModelNumber);
    return 0;
}
