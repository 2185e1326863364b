#pragma once

#include "platform/ScopedOverride.h"

#include <functional>
#include <memory>
#include <string>

class TDmSQMBase;

// Creates the meter link for the selected model; a test replaces it to watch or fake the
// links that the window makes.
struct TLinkFactory {
    // An SQM-LE link with its host, TCP port and time-out in milliseconds.
    std::function<std::unique_ptr<TDmSQMBase>(const std::string& host, int port, int timeoutMs)>
        Ethernet;
    // An SQM-LU, SQM-LU-DL or SQM-LR link with its port name and line speed.
    std::function<std::unique_ptr<TDmSQMBase>(const std::string& comPort, int baudRate)> Serial;
};

// The factory installed (the program's own links unless replaced).
const TLinkFactory& LinkFactory();

// Installs the factory's links (a member left empty keeps the installed one) and returns the
// factory replaced.
TLinkFactory SetLinkFactory(TLinkFactory factory);

// Replaces the factory for the lifetime of the object.
class TLinkFactoryOverride : public TScopedOverride<TLinkFactory> {
public:
    explicit TLinkFactoryOverride(TLinkFactory factory)
        : TScopedOverride(&SetLinkFactory, std::move(factory)) {}
};
