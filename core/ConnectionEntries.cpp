#include "core/ConnectionEntries.h"

#include "core/Sqmconfig.h"
#include "core/Sqmmodelnames.h"
#include "platform/Text.h"

#include <cstdint>
#include <vector>

TConnectionEntries ConnectionEntriesFromRecord(const TSQMConfig& record) {
    TConnectionEntries entries;
    const std::vector<std::string> models = ModelNames();
    for (std::size_t i = 0; i < models.size(); ++i)
        if (SameText(record.Model, models[i])) {
            entries.ModelIndex = static_cast<int>(i);
            break;
        }
    entries.Host = record.Host;
    entries.Port = std::to_string(static_cast<std::uint32_t>(record.Port));
    entries.Timeout = std::to_string(static_cast<std::uint32_t>(record.Timeout) / 1000);
    entries.ComPort = record.ComPort.empty() ? "COM1" : record.ComPort;
    for (int n = 1; n <= 16; ++n)
        if (SameText(entries.ComPort, "COM" + std::to_string(n)))
            entries.ComPort = "COM" + std::to_string(n);
    entries.BaudRate = record.BaudRate;
    return entries;
}
