#include "core/ReadingsFile.h"

#include "core/Nelm.h"
#include "core/Reading.h"
#include "core/Versioninfo.h"
#include "meter/Dm_SQMBase.h"
#include "tests/support/RowName.h"
#include "tests/support/StoredLink.h"
#include "tests/support/TempFolder.h"
#include "tests/support/UiRecorder.h"
#include "tools/sim/MeterReplies.h"

#include <cmath>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string Header = "Produced by Nightlux 3.0.0.0\r\n"
                           "Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,"
                           "Feature,Temp(C),,,,\r\n";
const std::string ExampleRecord =
    "2017/03/21,21:30:15,19.53,5.2,00001234,00000004,00000003,00000010,05.3,,,,";

class ReadingsFileTest : public testing::Test {
protected:
    TTempFolder Folder;
    std::string Name = Folder.File("readings.csv");
    TStoredLink Link;
    TUiRecorder Ui;
    TVersionInfo Version; // this test program's own record

    // The reading of the example: 19.53 MPSAS and 5.3 °C at 21:30:15 on 21 March 2017 from
    // unit 1234 (protocol 4, model 3, feature 10), in the meter's reply layout.
    void SetUp() override { SetReading(19.53, 5.3); }

    void SetReading(double magnitude, double temperature, TMeterOptions options = Example()) {
        const TMeterReplies replies(options);
        Link.ReadingReply = replies.ReadingLine(magnitude, temperature);
        Link.UnitInfoReply = replies.UnitInfoLine();
        Link.ReadingTime = EncodeDateTime(2017, 3, 21, 21, 30, 15, 0);
    }

    static TMeterOptions Example() {
        TMeterOptions options;
        options.SerialNumber = 1234;
        options.FeatureVersion = 10;
        return options;
    }

    // The result of the last save given to Keep.
    TSaveResult Last;
    bool Keep(TSaveResult result) {
        Last = std::move(result);
        return Last.Stored;
    }

    static TNotice Failure(const std::string& name) {
        return {ENoticeSeverity::Error, "Could not save reading to " + name};
    }
};

TEST_F(ReadingsFileTest, ANewFileGetsTheHeaderLinesThenOneRecordPerReading) {
    ASSERT_TRUE(SaveReadingToFile(Name, ReadingOf(Link), Version));
    EXPECT_EQ(ReadBytes(Name), Header + ExampleRecord + "\r\n");
    Link.ReadingTime = EncodeDateTime(2017, 3, 21, 21, 45, 15, 0);
    ASSERT_TRUE(SaveReadingToFile(Name, ReadingOf(Link), Version));
    EXPECT_EQ(ReadBytes(Name),
              Header + ExampleRecord + "\r\n" +
                  "2017/03/21,21:45:15,19.53,5.2,00001234,00000004,00000003,00000010,05.3,,,,\r\n");
    EXPECT_TRUE(Ui.Events.empty());
}

TEST_F(ReadingsFileTest, TheFileVersionComesFromTheProgramsOwnRecord) {
    ASSERT_TRUE(SaveReadingToFile(Name, ReadingOf(Link)));
    EXPECT_EQ(ReadBytes(Name), Header + ExampleRecord + "\r\n");
}

TEST_F(ReadingsFileTest, WithoutAFileVersionTheFirstLineEndsInTheBlank) {
    ASSERT_TRUE(SaveReadingToFile(Name, ReadingOf(Link), TVersionInfo("/bin/true")));
    EXPECT_TRUE(ReadBytes(Name).starts_with("Produced by Nightlux \r\nYear/Month/Day,"));
}

TEST_F(ReadingsFileTest, AnExistingEmptyFileGetsOnlyTheRecord) {
    WriteBytes(Name, "");
    ASSERT_TRUE(SaveReadingToFile(Name, ReadingOf(Link), Version));
    EXPECT_EQ(ReadBytes(Name), ExampleRecord + "\r\n");
}

TEST_F(ReadingsFileTest, AFileWithLfLineEndsIsAppendedToWithCrLf) {
    WriteBytes(Name, "first\nsecond\n");
    ASSERT_TRUE(SaveReadingToFile(Name, ReadingOf(Link), Version));
    EXPECT_EQ(ReadBytes(Name), "first\nsecond\n" + ExampleRecord + "\r\n");
}

TEST_F(ReadingsFileTest, ARecordAlwaysStartsALineOfItsOwn) {
    const std::string line = "2017/03/21,21:00:00,19.50,5.2,00001234,00000004,00000003,00000010";
    const struct {
        std::string Old, Expected;
    } cases[] = {
        {line, line + "\r\n" + ExampleRecord + "\r\n"},
        {line + "\r", line + "\r\r\n" + ExampleRecord + "\r\n"},
        {line + "\r\n", line + "\r\n" + ExampleRecord + "\r\n"},
    };
    for (const auto& c : cases) {
        WriteBytes(Name, c.Old);
        ASSERT_TRUE(SaveReadingToFile(Name, ReadingOf(Link), Version));
        EXPECT_EQ(ReadBytes(Name), c.Expected);
    }
}

TEST_F(ReadingsFileTest, OfSeveralWritersCreatingTheFileAtOnceOneWritesTheHeader) {
    constexpr int Writers = 6;
    for (int round = 0; round < 20; ++round) {
        fs::remove(Name);
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < Writers; ++i) {
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                ::close(gate[1]);
                char go = 0;
                while (::read(gate[0], &go, 1) < 0 && errno == EINTR) {
                }
                ::_exit(SaveReadingToFile(Name, ReadingOf(Link), Version) ? 0 : 1);
            }
            children.push_back(pid);
        }
        ::close(gate[0]);
        ::close(gate[1]); // all writers start now
        for (const pid_t pid : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        std::string expected = Header;
        for (int i = 0; i < Writers; ++i)
            expected += ExampleRecord + "\r\n";
        ASSERT_EQ(ReadBytes(Name), expected) << "round " << round;
        ASSERT_EQ(std::distance(fs::directory_iterator(Folder.GetPath()), {}), 1)
            << "no temporary file is left";
    }
}

TEST_F(ReadingsFileTest, TheSecondIsNotRoundedUp) {
    Link.ReadingTime = EncodeDateTime(2017, 3, 21, 21, 30, 15, 999);
    EXPECT_EQ(ReadingRecordLine(ReadingOf(Link)), ExampleRecord);
}

struct NumberCase {
    std::string Name;
    double Magnitude;
    double Temperature;
    std::string Mpsas;
    std::string Nelm;
    std::string Temp;
};

class ReadingsFileNumbers : public ReadingsFileTest,
                            public testing::WithParamInterface<NumberCase> {};

TEST_P(ReadingsFileNumbers, AreWrittenInTheirFixedForms) {
    const NumberCase& c = GetParam();
    SetReading(c.Magnitude, c.Temperature);
    EXPECT_EQ(ReadingRecordLine(ReadingOf(Link)), "2017/03/21,21:30:15," + c.Mpsas + "," + c.Nelm +
                                                      ",00001234,00000004,00000003,00000010," +
                                                      c.Temp + ",,,,");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadingsFileNumbers,
    testing::Values(NumberCase{"Temperature5_3", 19.53, 5.3, "19.53", "5.2", "05.3"},
                    NumberCase{"Temperature25", 19.53, 25, "19.53", "5.2", "25.0"},
                    NumberCase{"Temperature0", 19.53, 0, "19.53", "5.2", "00.0"},
                    NumberCase{"TemperatureMinus2_5", 19.53, -2.5, "19.53", "5.2", "-2.5"},
                    NumberCase{"TemperatureMinus12_5", 19.53, -12.5, "19.53", "5.2", "-12.5"},
                    NumberCase{"Magnitude18_9", 18.9, 5.3, "18.90", "4.7", "05.3"},
                    NumberCase{"Magnitude21", 21, 5.3, "21.00", "6.1", "05.3"},
                    NumberCase{"Daylight", 0, 25, "0.00", "-13.7", "25.0"}),
    RowName());

// The NELM column holds a number for every magnitude the link accepts, so the file's own
// reader takes the record back.
TEST_F(ReadingsFileTest, AMagnitudeFarBelowAnySkyGetsANumberForItsNelm) {
    SetReading(19.53, 5.3);
    Link.ReadingReply = "r,-5490.m,0000000012Hz,0000038400c,0000000.083s, 005.3C";
    EXPECT_EQ(ReadingRecordLine(ReadingOf(Link)),
              "2017/03/21,21:30:15,-5490.00,-5503.6,00001234,00000004,00000003,00000010,05.3,,,,");
}

TEST(Nelm, FollowsTheLimitingMagnitudeFormula) {
    EXPECT_DOUBLE_EQ(ComputeNelm(20.0), 7.93 - 5 * std::log10(std::pow(10.0, 0.316) + 1));
    EXPECT_NEAR(ComputeNelm(18.0), 4.0, 0.05);
    EXPECT_NEAR(ComputeNelm(22.0), 6.6, 0.05);
}

// Where 10^(4.316 - m / 5) is past the largest double the formula's value is m - 13.65.
TEST(Nelm, IsFiniteForEveryFiniteMagnitude) {
    for (const double magnitude : {-1519.0, -1520.0, -5490.0, -99999.0, -1e300})
        EXPECT_NEAR(ComputeNelm(magnitude), magnitude - 13.65, 1e-9 * std::fabs(magnitude))
            << magnitude;
}

struct FieldCase {
    std::string Name;
    std::string Serial; // columns 30 to 37 of the unit information reply
    std::string Record; // the SerialNo field of the record line (UTF-8)
    std::string File;   // the SerialNo field in the file (ISO-8859-1)
};

class ReadingsFileFields : public ReadingsFileTest,
                           public testing::WithParamInterface<FieldCase> {};

TEST_P(ReadingsFileFields, NeverBreakTheLine) {
    const FieldCase& c = GetParam();
    Link.UnitInfoReply = "i,00000004,00000003,00000010," + c.Serial + "\r\n";
    const std::string tail = ",00000004,00000003,00000010,05.3,,,,";
    EXPECT_EQ(ReadingRecordLine(ReadingOf(Link)),
              "2017/03/21,21:30:15,19.53,5.2," + c.Record + tail);
    WriteBytes(Name, "");
    ASSERT_TRUE(SaveReadingToFile(Name, ReadingOf(Link), Version));
    EXPECT_EQ(ReadBytes(Name), "2017/03/21,21:30:15,19.53,5.2," + c.File + tail + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadingsFileFields,
    testing::Values(FieldCase{"Ordinary", "00001234", "00001234", "00001234"},
                    FieldCase{"LettersAndBlanks", "SN 12-AB", "SN 12-AB", "SN 12-AB"},
                    FieldCase{"Comma", "0000,234", "0000?234", "0000?234"},
                    FieldCase{"LineBreak", "12\r\n3456", "12??3456", "12??3456"},
                    FieldCase{"TabAndNul",
                              std::string("12\t4\0"
                                          "678",
                                          8),
                              "12?4?678", "12?4?678"},
                    FieldCase{"Delete", "1234567\x7F", "1234567?", "1234567?"},
                    FieldCase{"Latin1Letter", "Z\xC3\xBCrich01", "Z\xC3\xBCrich01", "Z\xFCrich01"},
                    FieldCase{"C1Control", "1234567\xC2\x85", "1234567?", "1234567?"},
                    FieldCase{"BeyondLatin1", "1234567\xE2\x82\xAC", "1234567\xE2\x82\xAC",
                              "1234567?"},
                    FieldCase{"NotUtf8", "1234567\xFF", "1234567?", "1234567?"}),
    RowName());

TEST_F(ReadingsFileTest, AnEmptyFileNameIsReported) {
    EXPECT_FALSE(Keep(SaveReadingToFile("", ReadingOf(Link), Version)));
    EXPECT_EQ(Last.Notice, Failure(""));
    EXPECT_TRUE(Ui.Events.empty()) << "the caller presents the notice";
}

TEST_F(ReadingsFileTest, AMissingFolderIsReportedAndNotCreated) {
    const std::string name = Folder.File("missing/readings.csv");
    EXPECT_FALSE(Keep(SaveReadingToFile(name, ReadingOf(Link), Version)));
    EXPECT_EQ(Last.Notice, Failure(name));
    EXPECT_TRUE(Ui.Events.empty()) << "the caller presents the notice";
    EXPECT_FALSE(fs::exists(Folder.File("missing")));
}

TEST_F(ReadingsFileTest, AFolderOfThatNameIsReported) {
    EXPECT_FALSE(Keep(SaveReadingToFile(Folder.GetPath(), ReadingOf(Link), Version)));
    EXPECT_EQ(Last.Notice, Failure(Folder.GetPath()));
    EXPECT_TRUE(Ui.Events.empty()) << "the caller presents the notice";
}

TEST_F(ReadingsFileTest, AFullDiskIsReported) {
    EXPECT_FALSE(Keep(SaveReadingToFile("/dev/full", ReadingOf(Link), Version)));
    EXPECT_EQ(Last.Notice, Failure("/dev/full"));
    EXPECT_TRUE(Ui.Events.empty()) << "the caller presents the notice";
}

TEST_F(ReadingsFileTest, APipeWithoutAReaderIsReportedWithoutWaiting) {
    ASSERT_EQ(::mkfifo(Name.c_str(), 0644), 0);
    EXPECT_FALSE(Keep(SaveReadingToFile(Name, ReadingOf(Link), Version)));
    EXPECT_EQ(Last.Notice, Failure(Name));
    EXPECT_TRUE(Ui.Events.empty()) << "the caller presents the notice";
}

// A link at the name, put there by anyone, is not followed: the file it points at (which may
// be any file the logger can write) is left alone.
TEST_F(ReadingsFileTest, ASymbolicLinkAtTheNameIsNotFollowed) {
    const std::string target = Folder.File("target.csv");
    WriteBytes(target, Header);
    ASSERT_EQ(::symlink(target.c_str(), Name.c_str()), 0);
    EXPECT_FALSE(Keep(SaveReadingToFile(Name, ReadingOf(Link), Version)));
    EXPECT_EQ(Last.Notice,
              (TNotice{ENoticeSeverity::Error, "Could not save reading to " + Name +
                                                   ": a symbolic link is at that name, and it "
                                                   "is not followed"}));
    EXPECT_EQ(ReadBytes(target), Header);
    ASSERT_EQ(::unlink(Name.c_str()), 0);
    ASSERT_EQ(::symlink(Folder.File("missing.csv").c_str(), Name.c_str()), 0);
    EXPECT_FALSE(SaveReadingToFile(Name, ReadingOf(Link), Version)) << "nor a dangling one";
    EXPECT_FALSE(fs::exists(Folder.File("missing.csv")));
}

TEST_F(ReadingsFileTest, AReadingThatIsNotANumberLeavesTheFileAlone) {
    TMeterOptions options = Example();
    options.NonNumeric = true;
    SetReading(19.53, 5.3, options);
    EXPECT_THROW(SaveReadingToFile(Name, ReadingOf(Link), Version), EConvertError);
    EXPECT_FALSE(fs::exists(Name));
    EXPECT_TRUE(Ui.Events.empty());
}

// Lets the process write files of at most limit bytes; a longer write fails with EFBIG.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &Old);
        OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit reduced{limit, Old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &reduced);
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldHandler);
    }

private:
    rlimit Old{};
    void (*OldHandler)(int) = nullptr;
};

TEST_F(ReadingsFileTest, AWriteThatFailsPartwayLeavesNoTornLine) {
    const std::string old =
        "2017/03/21,21:00:00,19.50,5.2,00001234,00000004,00000003,00000010,05.3,,,,\r\n";
    WriteBytes(Name, old);
    {
        TFileSizeLimit limit(old.size() + 20);
        EXPECT_FALSE(Keep(SaveReadingToFile(Name, ReadingOf(Link), Version)));
    }
    EXPECT_EQ(Last.Notice, Failure(Name));
    EXPECT_TRUE(Ui.Events.empty()) << "the caller presents the notice";
    EXPECT_EQ(ReadBytes(Name), old) << "cut back to its old length";
}

TEST_F(ReadingsFileTest, ANewFileThatCannotBeWrittenIsRemovedSoTheNextReadingWritesTheHeader) {
    {
        TFileSizeLimit limit(40);
        EXPECT_FALSE(Keep(SaveReadingToFile(Name, ReadingOf(Link), Version)));
    }
    EXPECT_EQ(Last.Notice, Failure(Name));
    EXPECT_TRUE(Ui.Events.empty()) << "the caller presents the notice";
    EXPECT_TRUE(fs::is_empty(Folder.GetPath())) << "neither the file nor a temporary one";
    ASSERT_TRUE(SaveReadingToFile(Name, ReadingOf(Link), Version));
    EXPECT_EQ(ReadBytes(Name), Header + ExampleRecord + "\r\n");
}

} // namespace
