#include "app/LinkFactory.h"

#include "meter/Dm_SQMBase.h"
#if __has_include("meter/Dm_SQMLE.h")
#include "meter/Dm_SQMLE.h"
#define NIGHTLUX_HAVE_LE 1
#endif
#if __has_include("meter/Dm_SQMLUR.h")
#include "meter/Dm_SQMLUR.h"
#define NIGHTLUX_HAVE_LUR 1
#endif

namespace {

std::unique_ptr<TDmSQMBase> NewEthernetLink(const std::string& host, int port, int timeoutMs) {
#ifdef NIGHTLUX_HAVE_LE
    auto link = std::make_unique<TDmSQMLE>();
    link->Host = host;
    link->Port = port;
    link->Timeout = timeoutMs;
    return link;
#else
    (void)host, (void)port, (void)timeoutMs;
    throw Exception("The Ethernet meter link is not built yet.");
#endif
}

std::unique_ptr<TDmSQMBase> NewSerialLink(const std::string& comPort, int baudRate) {
#ifdef NIGHTLUX_HAVE_LUR
    auto link = std::make_unique<TDmSQMLUR>();
    link->SetComPort(comPort);
    link->SetBaudRate(baudRate);
    return link;
#else
    (void)comPort, (void)baudRate;
    throw Exception("The serial meter link is not built yet.");
#endif
}

} // namespace

TLinkFactory& LinkFactory() {
    static TLinkFactory factory{NewEthernetLink, NewSerialLink};
    return factory;
}

TLinkFactoryOverride::TLinkFactoryOverride(TLinkFactory factory) : Saved(LinkFactory()) {
    if (factory.Ethernet)
        LinkFactory().Ethernet = std::move(factory.Ethernet);
    if (factory.Serial)
        LinkFactory().Serial = std::move(factory.Serial);
}

TLinkFactoryOverride::~TLinkFactoryOverride() {
    LinkFactory() = Saved;
}
