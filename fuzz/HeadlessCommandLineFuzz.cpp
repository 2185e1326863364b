// The command line of nightlux-read: arguments separated by NUL bytes. It either gives a
// clear usage error or options within their documented ranges, which merge with a saved
// connection record or are refused with a clear error.

#include "core/ConnectionEntries.h"
#include "core/Sqmconfig.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "headless/HeadlessOptions.h"
#include "headless/HeadlessReader.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> args = PiecesBetweenNuls(data, size);
    THeadlessOptions options;
    try {
        options = ParseHeadlessOptions(args);
    } catch (const EUsageError& e) {
        FUZZ_CHECK(*e.what() != '\0');
        return 0;
    }
    using std::chrono::seconds;
    FUZZ_CHECK(!options.ModelIndex || (*options.ModelIndex >= 0 && *options.ModelIndex <= 3));
    FUZZ_CHECK(!options.Period ||
               (*options.Period >= seconds(1) && *options.Period <= seconds(3600)));
    FUZZ_CHECK(!options.Count || (options.Period && *options.Count >= 1));

    TConnectionEntries connection = ConnectionEntriesFromRecord(TSQMConfig());
    try {
        ApplyOptions(options, connection);
    } catch (const EUsageError& e) {
        FUZZ_CHECK(*e.what() != '\0');
        return 0;
    }
    FUZZ_CHECK(!options.Host || connection.Host == *options.Host);
    FUZZ_CHECK(!options.ComPort || connection.ComPort == *options.ComPort);
    return 0;
}
