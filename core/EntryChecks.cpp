#include "core/EntryChecks.h"

#include "platform/Text.h"

#include <cstdint>

bool EntryToInt(const std::string& text, int& value) {
    std::int32_t converted = 0;
    if (!TryStrToInt(text, converted))
        return false;
    value = converted;
    return true;
}

std::string CheckEthernetEntries(const std::string& host, const std::string& port,
                                 const std::string& timeout, TEthernetEntries& entries) {
    if (host.empty() || host == "(null)")
        return BlankAddressMessage;
    int portNumber = 0;
    if (!EntryToInt(port, portNumber) || portNumber < 1 || portNumber > 65535)
        return PortRangeMessage;
    int seconds = 0;
    const bool isNumber = EntryToInt(timeout, seconds);
    const long long timeoutMs = static_cast<long long>(seconds) * 1000;
    if (!isNumber || timeoutMs < 1 || timeoutMs > 30000)
        return TimeoutRangeMessage;
    entries = {host, portNumber, static_cast<int>(timeoutMs)};
    return {};
}
