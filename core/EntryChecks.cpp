#include "core/EntryChecks.h"

bool EntryToInt(const QString& text, int& value) {
    bool ok = false;
    const int converted = text.toInt(&ok, 10);
    if (ok)
        value = converted;
    return ok;
}

std::string CheckEthernetEntries(const QString& host, const QString& port, const QString& timeout,
                                 TEthernetEntries& entries) {
    if (host.isEmpty() || host == QLatin1String("(null)"))
        return BlankAddressMessage;
    int portNumber = 0;
    if (!EntryToInt(port, portNumber) || portNumber < 1 || portNumber > 65535)
        return PortRangeMessage;
    int seconds = 0;
    const bool isNumber = EntryToInt(timeout, seconds);
    const long long timeoutMs = static_cast<long long>(seconds) * 1000;
    if (!isNumber || timeoutMs < 1 || timeoutMs > 30000)
        return TimeoutRangeMessage;
    entries = {host.toStdString(), portNumber, static_cast<int>(timeoutMs)};
    return {};
}
