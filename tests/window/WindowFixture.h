#pragma once

#include "core/LinkFactory.h"
#include "core/UiSeams.h"
#include "meter/Dm_SQMBase.h"
#include "window/MainFm.h"
#include "window/WindowSeams.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// What the user would have seen: message boxes (caption and text), beeps, opened
// addresses and file dialogs.
struct TSeen {
    struct TBox {
        QString Caption;
        QString Text;
        TMessageIcon Icon;
    };
    std::vector<TBox> Boxes;
    int Beeps = 0;
    std::vector<QString> Urls;
    bool BrowserOpens = true;
    std::vector<TSaveDialogRequest> Dialogs;
    std::optional<QString> DialogAnswer;

    std::vector<QString> Texts() const;
};

// A meter link that answers from scripted reply lines and records the calls made on it.
class TFakeLink : public TDmSQMBase {
public:
    void Connect() override;
    void Disconnect() override;
    void ReadReading() override;
    void ReadUnitInfo() override;
    void ReadCalibration() override;

    std::string UnitInfoLine;
    std::string ReadingLine;
    std::string FailAt; // the operation that raises FailWith
    std::string FailWith;
    std::vector<std::string> Calls;
    bool Connected = false;
    // Called at Connect, to look at the window in the middle of a cycle.
    std::function<void()> OnConnect;
    // How long Connect takes, as a meter on a slow network would.
    std::chrono::milliseconds ConnectTime{0};
    // The override cursor's shape at Connect; -1 for none.
    int CursorAtConnect = -1;
};

// The real window, offscreen, with its settings and documents in a temporary home and the
// seams recording.
class WindowTest : public testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    void MakeForm();
    template <class T = QWidget>
    T* Child(const char* name) const {
        T* child = Form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QString Text(const char* name) const;
    void SetText(const char* name, const QString& text);
    void Click(const char* name);
    // Points the Ethernet entries at a meter on the loopback address.
    void PointAt(std::uint16_t port, int timeoutSeconds = 2);
    // Checks the fields of the reading that the fake links and the simulated meter give by
    // default: 19.53 at 5.3 degrees from unit 5533; the time is checked by each test.
    void ExpectDefaultReadingShown() const;
    QTimer* Timer() const { return Child<QTimer>("Timer"); }
    // The controls of both entry panels that are enabled, by name.
    std::vector<std::string> EnabledEntries() const;
    QString ConfigFolder() const;
    QString SettingsFile() const;

    QTemporaryDir Home;
    QByteArray SavedHome;
    QByteArray SavedConfigHome;
    TSeen Seen;
    std::unique_ptr<TWindowSeamsOverride> Seams;
    std::unique_ptr<TMainForm> Form;
};

// The fake links that the window creates, with the arguments it gave them.
struct TFakeLinks {
    TFakeLinks();
    ~TFakeLinks();
    struct TMade {
        std::string Kind;
        std::string Host;
        int Port = 0;
        int Timeout = 0;
        std::string ComPort;
        int BaudRate = 0;
        TFakeLink* Link = nullptr;
    };
    std::vector<TMade> Made;
    // Scripted into every new link.
    std::string UnitInfoLine;
    std::string ReadingLine;
    std::string FailAt;
    std::string FailWith;
    std::function<void()> OnConnect;

private:
    std::unique_ptr<TLinkFactoryOverride> Override;
};

// The window with fake links and its Ethernet entries filled in.
class FakeLinkWindowTest : public WindowTest {
protected:
    void SetUp() override;
    TFakeLink& LastLink() { return *Links.Made.back().Link; }

    TFakeLinks Links;
};
