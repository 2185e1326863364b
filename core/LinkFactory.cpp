#include "core/LinkFactory.h"

#include "meter/Dm_SQMLE.h"
#include "meter/Dm_SQMLUR.h"

namespace {

std::unique_ptr<TDmSQMBase> NewEthernetLink(const std::string& host, int port, int timeoutMs) {
    auto link = std::make_unique<TDmSQMLE>();
    link->Host = host;
    link->Port = port;
    link->Timeout = timeoutMs;
    return link;
}

std::unique_ptr<TDmSQMBase> NewSerialLink(const std::string& comPort, int baudRate) {
    auto link = std::make_unique<TDmSQMLUR>();
    link->SetComPort(comPort);
    link->SetBaudRate(baudRate);
    return link;
}

TLinkFactory& Installed() {
    static TLinkFactory factory{
        [](const std::string& host, int port, int timeoutMs) {
            return NewEthernetLink(host, port, timeoutMs);
        },
        [](const std::string& comPort, int baudRate) { return NewSerialLink(comPort, baudRate); }};
    return factory;
}

} // namespace

const TLinkFactory& LinkFactory() {
    return Installed();
}

TLinkFactory SetLinkFactory(TLinkFactory factory) {
    TLinkFactory previous = Installed();
    if (factory.Ethernet)
        Installed().Ethernet = std::move(factory.Ethernet);
    if (factory.Serial)
        Installed().Serial = std::move(factory.Serial);
    return previous;
}
