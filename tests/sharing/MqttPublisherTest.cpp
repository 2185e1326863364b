#include "sharing/MqttPublisher.h"

#include "MosquittoBroker.h"
#include "SkyglowParser.h"
#include "sharing/MosquittoLibrary.h"
#include "sharing/MqttMessages.h"
#include "sharing/SkyglowWriter.h"
#include "tools/sim/LoopbackSocket.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string Prefix = "nightlux/5533";
const std::string State = Prefix + "/state";
const std::string Availability = Prefix + "/availability";

TSharedReading Reading(int minute, double magnitude = 19.54) {
    TSharedReading r;
    r.LocalTime = EncodeDateTime(2026, 12, 9, 22, minute, 9, 0);
    r.UniversalTime = EncodeDateTime(2026, 12, 9, 21, minute, 9, 0);
    r.UnitInfoReply = "i,00000004,00000003,00000076,00005533";
    r.ReadingReply = "r, 19.54m,0000000006Hz,0000075773c,0000000.164s, 005.3C";
    r.Magnitude = magnitude;
    r.Temperature = 5.3;
    r.Counts = 75773;
    r.Frequency = 6.098;
    r.Nelm = 5.24;
    r.SerialNumber = "5533";
    r.FirmwareVersion = "4-3-76";
    return r;
}

std::string StateOf(int minute, double magnitude = 19.54) {
    return StateMessage(Reading(minute, magnitude), "SQM-LE");
}

TMqttPublisherOptions Options(std::uint16_t port) {
    TMqttPublisherOptions o;
    o.Settings.Host = "127.0.0.1";
    o.Settings.Port = port;
    o.Model = "SQM-LE";
    o.SoftwareVersion = "3.0.0.0";
    o.LastReconnectDelay = 2s;
    return o;
}

// The last availability message says the text.
auto LastAvailability(const std::string& text) {
    return [text](const std::vector<TReceivedMessage>& messages) {
        for (auto m = messages.rbegin(); m != messages.rend(); ++m)
            if (m->Topic == Availability)
                return m->Payload == text;
        return false;
    };
}

auto Has(const std::string& topic, std::size_t count = 1) {
    return [topic, count](const std::vector<TReceivedMessage>& m) {
        return CountOn(m, topic) >= count;
    };
}

// Waits for the publisher's notices until one contains the text; all of them gathered.
bool WaitForNotice(TMqttPublisher& publisher, const std::string& text,
                   std::vector<std::string>& notices) {
    return WaitFor(
        [&] {
            for (TNotice& n : publisher.TakeNotices())
                notices.push_back(std::move(n.Text));
            for (const std::string& n : notices)
                if (n.find(text) != std::string::npos)
                    return true;
            return false;
        },
        60s);
}

TEST(MqttMessages, StateAndDiscoveryPayloads) {
    EXPECT_EQ(StateOf(0), "{\"time\":\"2026-12-09T21:00:09.000Z\",\"mpsas\":19.54,\"nelm\":5.2,"
                          "\"temperature\":5.3,\"serial\":\"5533\",\"model\":\"SQM-LE\"}");
    // Readings less than a second apart keep their order by the time's milliseconds.
    TSharedReading quick = Reading(0);
    quick.UniversalTime = EncodeDateTime(2026, 12, 9, 21, 0, 9, 250);
    EXPECT_NE(StateMessage(quick, "SQM-LE").find("\"time\":\"2026-12-09T21:00:09.250Z\""),
              std::string::npos);
    TSharedReading noNelm = Reading(0);
    noNelm.Nelm = std::numeric_limits<double>::quiet_NaN();
    noNelm.SerialNumber = "55\"33";
    EXPECT_NE(StateMessage(noNelm, "SQM-LE").find("\"nelm\":null"), std::string::npos);
    EXPECT_NE(StateMessage(noNelm, "SQM-LE").find("\"serial\":\"55\\\"33\""), std::string::npos);

    const std::vector<TMqttMessage> discovery =
        DiscoveryMessages(Prefix, TMqttDevice{"5533", "SQM-LE", "3.0.0.0"});
    ASSERT_EQ(discovery.size(), 3u);
    const std::string device =
        "\"device\":{\"identifiers\":[\"nightlux_5533\"],\"name\":\"Nightlux SQM-LE 5533\","
        "\"model\":\"SQM-LE\",\"manufacturer\":\"Corvatek\",\"sw_version\":\"3.0.0.0\"}";
    EXPECT_EQ(discovery[0].Topic, "homeassistant/sensor/nightlux_5533/sky_brightness/config");
    EXPECT_EQ(discovery[0].Payload,
              "{\"name\":\"Sky brightness\",\"unique_id\":\"nightlux_5533_sky_brightness\","
              "\"state_topic\":\"nightlux/5533/state\","
              "\"value_template\":\"{{ value_json.mpsas }}\","
              "\"unit_of_measurement\":\"mag/arcsec\xC2\xB2\",\"state_class\":\"measurement\","
              "\"icon\":\"mdi:weather-night\","
              "\"availability_topic\":\"nightlux/5533/availability\"," +
                  device + "}");
    EXPECT_EQ(discovery[1].Topic, "homeassistant/sensor/nightlux_5533/nelm/config");
    EXPECT_NE(discovery[1].Payload.find("{{ value_json.nelm }}"), std::string::npos);
    EXPECT_NE(discovery[1].Payload.find(device), std::string::npos);
    EXPECT_EQ(discovery[2].Topic, "homeassistant/sensor/nightlux_5533/temperature/config");
    EXPECT_NE(discovery[2].Payload.find("\"unit_of_measurement\":\"\xC2\xB0"
                                        "C\",\"state_class\":\"measurement\","
                                        "\"device_class\":\"temperature\""),
              std::string::npos);
    EXPECT_NE(discovery[2].Payload.find(device), std::string::npos);
}

TEST(MqttPublisher, ReadingsArriveAsJsonWithRetainedDiscoveryAndAvailability) {
    TMosquittoBroker broker;
    TTestSubscriber live(broker.GetPort());
    {
        TMqttPublisher publisher(Options(broker.GetPort()));
        for (int minute = 0; minute < 3; ++minute)
            publisher.Publish(Reading(minute, 19.5 + minute * 0.01));
        ASSERT_TRUE(live.WaitUntil(Has(State, 3)));
        const std::vector<TReceivedMessage> states = live.On(State);
        for (int minute = 0; minute < 3; ++minute) {
            EXPECT_EQ(states[minute].Payload, StateOf(minute, 19.5 + minute * 0.01));
            EXPECT_FALSE(states[minute].Retained);
        }
        EXPECT_EQ(publisher.GetTopicPrefix(), Prefix);
        EXPECT_TRUE(publisher.TakeNotices().empty());

        // A client that comes later finds availability and discovery kept by the broker.
        TTestSubscriber late(broker.GetPort());
        const std::vector<std::string> retainedTopics = {
            Availability, "homeassistant/sensor/nightlux_5533/sky_brightness/config",
            "homeassistant/sensor/nightlux_5533/nelm/config",
            "homeassistant/sensor/nightlux_5533/temperature/config"};
        ASSERT_TRUE(late.WaitUntil([&](const std::vector<TReceivedMessage>& m) {
            for (const std::string& topic : retainedTopics)
                if (CountOn(m, topic) == 0)
                    return false;
            return true;
        }));
        for (const TReceivedMessage& m : late.Messages()) {
            EXPECT_TRUE(m.Retained) << m.Topic;
            EXPECT_NE(m.Topic, State) << "readings are not retained";
        }
        EXPECT_EQ(late.On(Availability).back().Payload, "online");
    }
    // Leaving in order says so.
    ASSERT_TRUE(live.WaitUntil(LastAvailability("offline")));
}

TEST(MqttPublisher, TheLastWillSaysOfflineWhenThePublisherVanishes) {
    TMosquittoBroker broker;
    TTestSubscriber subscriber(broker.GetPort());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            TMqttPublisher publisher(Options(broker.GetPort()));
            publisher.Publish(Reading(0));
            for (;;)
                ::pause();
        } catch (...) {
            ::_exit(1);
        }
    }
    const bool online = subscriber.WaitUntil(LastAvailability("online"));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(online);
    EXPECT_TRUE(subscriber.WaitUntil(LastAvailability("offline")));
}

// The station's loop: every reading goes to the file first, then to the broker.
TEST(MqttPublisher, ABrokerThatStopsLosesNoLineOfTheFileAndIsFoundAgain) {
    TMosquittoBroker broker;
    TTempFolder folder;
    TSkyglowSettings settings;
    settings.Folder = folder.GetPath();
    TSkyglowWriter writer(settings, TSite{}, "SQM-LE", [] { return std::string("c,"); });
    TMqttPublisher publisher(Options(broker.GetPort()));
    std::vector<std::string> notices;
    int minute = 0;
    const auto read = [&] {
        const TSharedReading reading = Reading(minute++);
        ASSERT_TRUE(writer.Write(reading).Stored);
        const auto start = std::chrono::steady_clock::now();
        publisher.Publish(reading);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "publishing held up a reading";
        for (TNotice& n : publisher.TakeNotices())
            notices.push_back(std::move(n.Text));
    };

    {
        TTestSubscriber subscriber(broker.GetPort());
        for (int i = 0; i < 3; ++i)
            read();
        ASSERT_TRUE(subscriber.WaitUntil(Has(State, 3)));
    }
    broker.Stop();
    ASSERT_TRUE(WaitFor([&] { return !publisher.IsConnected(); }, 60s));
    for (int i = 0; i < 5; ++i)
        read();
    ASSERT_TRUE(WaitForNotice(publisher, "cannot reach the broker", notices));

    broker.Start();
    TTestSubscriber subscriber(broker.GetPort());
    ASSERT_TRUE(WaitForNotice(publisher, "reachable again", notices));
    read();
    // The readings of the outage were kept for the broker and follow once it is back.
    ASSERT_TRUE(subscriber.WaitUntil(Has(State, 6)));
    const std::vector<TReceivedMessage> states = subscriber.On(State);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(states[i].Payload, StateOf(3 + i));
    EXPECT_TRUE(subscriber.WaitUntil(Has(Availability)));
    EXPECT_EQ(subscriber.On(Availability).back().Payload, "online");

    const TParsedSkyglowFile file =
        ParseSkyglowFile(ReadBytes(folder.File("20261209_120000_SQM-LE.dat")));
    ASSERT_EQ(file.Records.size(), 9u);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(file.Records[i].Local, IsoTimeMs(Reading(i).LocalTime));
    std::size_t outages = 0;
    for (const std::string& n : notices)
        outages += n.find("cannot reach the broker") != std::string::npos ? 1 : 0;
    EXPECT_EQ(outages, 1u) << "reported once per outage";
}

TEST(MqttPublisher, ABrokerThatIsNotThereYetIsReportedOnceAndFoundLater) {
    TMosquittoBroker broker("", false);
    TMqttPublisher publisher(Options(broker.GetPort()));
    std::vector<std::string> notices;
    const auto start = std::chrono::steady_clock::now();
    publisher.Publish(Reading(0));
    publisher.Publish(Reading(1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    ASSERT_TRUE(WaitForNotice(publisher, "cannot reach the broker 127.0.0.1:", notices));

    broker.Start();
    TTestSubscriber subscriber(broker.GetPort());
    ASSERT_TRUE(WaitForNotice(publisher, "reachable again", notices));
    publisher.Publish(Reading(2));
    ASSERT_TRUE(subscriber.WaitUntil(Has(State, 3)));
    EXPECT_EQ(subscriber.On(State)[0].Payload, StateOf(0));
    EXPECT_EQ(notices.size(), 2u);
}

TEST(MqttPublisher, ClosingWhileTheBrokerIsAwayDoesNotWaitForIt) {
    TMosquittoBroker broker;
    auto publisher = std::make_unique<TMqttPublisher>([&] {
        TMqttPublisherOptions o = Options(broker.GetPort());
        o.LastReconnectDelay = 60s;
        return o;
    }());
    publisher->Publish(Reading(0));
    ASSERT_TRUE(WaitFor([&] { return publisher->IsConnected(); }, 60s));
    broker.Stop();
    ASSERT_TRUE(WaitFor([&] { return !publisher->IsConnected(); }, 60s));
    publisher->Publish(Reading(1));
    const auto start = std::chrono::steady_clock::now();
    publisher.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, TMqttPublisher::ShutdownWait + 20s);
}

TEST(MqttPublisher, CredentialsFromAFileAreUsedAndARefusalIsReported) {
    TTempFolder folder;
    const std::string passwords = folder.File("passwords");
    WriteBytes(passwords, "");
    TChildProcess hash("/usr/bin/mosquitto_passwd", {"-b", passwords, "station", "s3cret"}, {},
                       folder.GetPath());
    ASSERT_EQ(hash.Wait(60s), 0) << hash.GetErrors();
    TMosquittoBroker broker("allow_anonymous false\npassword_file " + passwords + "\n");
    // The test's own subscriber signs in too.
    const std::string credentials = folder.File("mqtt-credentials");
    WriteBytes(credentials, "username=station\npassword=s3cret\n");
    ASSERT_EQ(::chmod(credentials.c_str(), 0600), 0);

    TMqttPublisherOptions good = Options(broker.GetPort());
    good.Credentials = ReadMqttCredentials(credentials);
    TMqttPublisher publisher(good);
    publisher.Publish(Reading(0));
    ASSERT_TRUE(WaitFor([&] { return publisher.IsConnected(); }, 60s));

    TMqttPublisherOptions bad = Options(broker.GetPort());
    bad.Credentials = {"station", "wrong"};
    TMqttPublisher refused(bad);
    refused.Publish(Reading(0));
    std::vector<std::string> notices;
    ASSERT_TRUE(WaitForNotice(refused, "refused", notices));
    EXPECT_FALSE(refused.IsConnected());
    EXPECT_TRUE(publisher.TakeNotices().empty());
    // Wrong credentials never mend themselves: the notice says what to fix.
    ASSERT_EQ(notices.size(), 1u);
    const std::string name = "127.0.0.1:" + std::to_string(broker.GetPort());
    EXPECT_TRUE(notices[0].starts_with("MQTT: the broker " + name +
                                       " refused the user name and password (refused: "
                                       "Connection Refused: "))
        << notices[0];
    EXPECT_TRUE(notices[0].ends_with("); correct them in the MQTT credentials. Readings are "
                                     "still stored; the broker is tried again every 10 minutes"))
        << notices[0];
}

// A broker that refuses every client's credentials (CONNACK "not authorised"), and notes
// when each connection came.
class TRefusingBroker {
public:
    TRefusingBroker() : Listener(BindLoopback(0)), Port(LocalPort(Listener)) {
        ::listen(Listener.Get(), 8);
        Worker = std::thread([this] { Serve(); });
    }
    ~TRefusingBroker() {
        ::shutdown(Listener.Get(), SHUT_RDWR);
        Stop = true;
        Worker.join();
    }
    std::uint16_t GetPort() const { return Port; }
    // The times of the first count connections; empty when they did not come within 60 s.
    std::vector<std::chrono::steady_clock::time_point> WaitForConnections(std::size_t count) {
        std::unique_lock lock(Lock);
        Arrived.wait_for(lock, 60s, [&] { return Times.size() >= count; });
        return Times.size() >= count ? Times : decltype(Times)();
    }

private:
    void Serve() {
        while (!Stop) {
            pollfd wait{Listener.Get(), POLLIN, 0};
            if (::poll(&wait, 1, 100) <= 0)
                continue;
            TFileDescriptor client(::accept(Listener.Get(), nullptr, nullptr));
            if (!client)
                continue;
            {
                std::lock_guard lock(Lock);
                Times.push_back(std::chrono::steady_clock::now());
            }
            Arrived.notify_all();
            const unsigned char refusal[] = {0x20, 0x02, 0x00, 0x05};
            pollfd request{client.Get(), POLLIN, 0};
            char buffer[512];
            // The client's CONNECT, then the refusal; the client closes.
            if (::poll(&request, 1, 5000) > 0 && ::read(client.Get(), buffer, sizeof buffer) > 0 &&
                ::write(client.Get(), refusal, sizeof refusal) == sizeof refusal)
                ::poll(&request, 1, 5000);
        }
    }

    TFileDescriptor Listener;
    std::uint16_t Port;
    std::atomic<bool> Stop{false};
    std::mutex Lock;
    std::condition_variable Arrived;
    std::vector<std::chrono::steady_clock::time_point> Times;
    std::thread Worker;
};

// After a refusal that only the user can mend, the next attempt waits the long delay, not
// the growing short ones.
TEST(MqttPublisher, RefusedCredentialsAreRetriedAtTheLongInterval) {
    TRefusingBroker broker;
    TMqttPublisherOptions o = Options(broker.GetPort());
    o.FirstReconnectDelay = 1s;
    o.LastReconnectDelay = 1s;
    o.UserFixRetryDelay = 4s;
    o.Credentials = {"station", "wrong"};
    TMqttPublisher publisher(o);
    publisher.Publish(Reading(0));
    const auto times = broker.WaitForConnections(2);
    ASSERT_EQ(times.size(), 2u);
    EXPECT_GE(times[1] - times[0], 3500ms);
    std::vector<std::string> notices;
    ASSERT_TRUE(WaitForNotice(publisher, "the broker is tried again every 4 s", notices));
    EXPECT_EQ(notices.size(), 1u);
}

TEST(MqttPublisher, TlsChecksTheBrokerAgainstTheCaFile) {
    const std::string tls = std::string(NIGHTLUX_SHARING_TEST_DATA) + "/tls/";
    TMosquittoBroker broker("cafile " + tls + "ca.pem\ncertfile " + tls + "broker.pem\nkeyfile " +
                            tls + "broker.key\n");
    TTestSubscriber subscriber(broker.GetPort(), tls + "ca.pem");

    TMqttPublisherOptions trusted = Options(broker.GetPort());
    trusted.Settings.CaFile = tls + "ca.pem";
    TMqttPublisher publisher(trusted);
    publisher.Publish(Reading(0));
    ASSERT_TRUE(subscriber.WaitUntil(Has(State)));
    EXPECT_EQ(subscriber.On(State)[0].Payload, StateOf(0));

    TMqttPublisherOptions stranger = Options(broker.GetPort());
    stranger.Settings.CaFile = tls + "other-ca.pem";
    stranger.ConnectTimeout = 2s;
    TMqttPublisher refused(stranger);
    refused.Publish(Reading(1));
    std::vector<std::string> notices;
    ASSERT_TRUE(WaitForNotice(refused, "could not be verified", notices));
    EXPECT_FALSE(refused.IsConnected());
    EXPECT_EQ(subscriber.On(State).size(), 1u);
    const std::string& notice = notices.back();
    EXPECT_TRUE(notice.starts_with(
        "MQTT: the certificate of the broker 127.0.0.1:" + std::to_string(broker.GetPort()) +
        " could not be verified with the CA file " + tls + "other-ca.pem ("))
        << notice;
    EXPECT_NE(notice.find("certificate verify failed"), std::string::npos) << notice;
    EXPECT_TRUE(notice.ends_with("); give the CA file that signed the broker's certificate. "
                                 "Readings are still stored; the broker is tried again every "
                                 "10 minutes"))
        << notice;
}

TEST(MqttPublisher, ACertificateForAnotherNameIsToldAsSuch) {
    const std::string tls = std::string(NIGHTLUX_SHARING_TEST_DATA) + "/tls/";
    TMosquittoBroker broker("cafile " + tls + "name-ca.pem\ncertfile " + tls +
                            "misnamed.pem\nkeyfile " + tls + "misnamed.key\n");
    TMqttPublisherOptions o = Options(broker.GetPort());
    o.Settings.CaFile = tls + "name-ca.pem";
    o.ConnectTimeout = 2s;
    TMqttPublisher publisher(o);
    publisher.Publish(Reading(0));
    std::vector<std::string> notices;
    ASSERT_TRUE(WaitForNotice(publisher, "is not for the name", notices));
    EXPECT_FALSE(publisher.IsConnected());
    EXPECT_TRUE(notices.back().starts_with(
        "MQTT: the certificate of the broker 127.0.0.1:" + std::to_string(broker.GetPort()) +
        " is not for the name 127.0.0.1 ("))
        << notices.back();
    EXPECT_TRUE(notices.back().ends_with(
        "); connect by a name that the certificate holds, or give the broker a certificate "
        "for 127.0.0.1. Readings are still stored; the broker is tried again every 10 minutes"))
        << notices.back();
}

// Readings beyond the backlog are not published; the broker's return says how many.
TEST(MqttPublisher, TheReturnOfTheBrokerTellsHowManyReadingsWereNotPublished) {
    TMosquittoBroker broker("", false);
    TMqttPublisherOptions o = Options(broker.GetPort());
    o.MaxBacklog = 2;
    TMqttPublisher publisher(o);
    for (int minute = 0; minute < 5; ++minute)
        publisher.Publish(Reading(minute));
    std::vector<std::string> notices;
    ASSERT_TRUE(WaitForNotice(publisher, "cannot reach the broker", notices));
    broker.Start();
    TTestSubscriber subscriber(broker.GetPort());
    ASSERT_TRUE(WaitForNotice(publisher, "reachable again", notices));
    const std::string name = "127.0.0.1:" + std::to_string(broker.GetPort());
    // The first failed connect may be told before or after the backlog fills.
    const std::string full = "MQTT: 2 readings wait for the broker " + name +
                             "; further readings are not published until it is back";
    EXPECT_NE(std::find(notices.begin(), notices.end(), full), notices.end())
        << ::testing::PrintToString(notices);
    EXPECT_EQ(notices.back(), "MQTT: the broker " + name +
                                  " is reachable again; 3 readings taken while it was away "
                                  "could not be held and were not published");
    publisher.Publish(Reading(5));
    ASSERT_TRUE(subscriber.WaitUntil(Has(State, 3)));
    EXPECT_EQ(subscriber.On(State)[2].Payload, StateOf(5));
}

TEST(MosquittoLibrary, AMissingLibraryIsReportedByName) {
    try {
        LoadMosquittoLibrary("libnightlux-no-such-mqtt.so.1");
        FAIL() << "loaded a library that does not exist";
    } catch (const EMqttError& e) {
        EXPECT_TRUE(e.Message().starts_with("MQTT is not available: ")) << e.Message();
        EXPECT_NE(e.Message().find("libnightlux-no-such-mqtt.so.1"), std::string::npos)
            << e.Message();
    }
}

TEST(MqttPublisher, SettingsThatCanNeverWorkAreRefusedAtOnce) {
    TMqttPublisherOptions noHost = Options(1883);
    noHost.Settings.Host.clear();
    EXPECT_THROW(TMqttPublisher{noHost}, EMqttError);
    TMqttPublisherOptions noCa = Options(1883);
    noCa.Settings.CaFile = "/nonexistent/ca.pem";
    EXPECT_THROW(TMqttPublisher{noCa}, EMqttError);
}

} // namespace
