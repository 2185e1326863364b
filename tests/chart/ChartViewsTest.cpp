#include "chart/ChartCommandLine.h"
#include "platform/Exception.h"
#include "tests/support/TempFolder.h"

#include <QImage>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

// Nights of March 2026 (by default the 20th to the 22nd), readings every ten minutes from 18:00
// to 06:00 at a site in the Netherlands: 73 a night.
std::string WriteReadings(const TTempFolder& folder, const std::string& fileName = "readings.csv",
                          int firstNight = 20, int lastNight = 22) {
    const std::string name = folder.File(fileName);
    std::ofstream file(name, std::ios::binary);
    file << "Produced by Nightlux 3.0.0.0\r\n"
            "Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,Feature,"
            "Temp(C),,,,\r\n";
    for (int night = firstNight; night <= lastNight; ++night) {
        for (int step = 0; step <= 72; ++step) {
            const int minutes = 18 * 60 + 10 * step;
            const int day = night + minutes / (24 * 60);
            const int clock = minutes % (24 * 60);
            const double mpsas = std::min(21.0, 16.0 + step * 0.25);
            char line[160];
            std::snprintf(line, sizeof line,
                          "2026/03/%02d,%02d:%02d:00,%.2f,6.0,00005533,00000004,00000003,"
                          "00000076,05.3,,,,\r\n",
                          day, clock / 60, clock % 60, mpsas);
            file << line;
        }
    }
    return name;
}

} // namespace

TEST(ChartViews, ViewOptionsAreReadAndBadOnesRefused) {
    const TChartCommandLine command =
        ParseChartCommandLine({"r.csv", "--png", "a.png", "--view", "jellyfish", "--noon-to-noon"});
    EXPECT_EQ(command.View.View, THistoryView::Jellyfish);
    EXPECT_TRUE(command.View.NoonToNoon);
    EXPECT_FALSE(ParseChartCommandLine({"r.csv", "--png", "a.png"}).View.View);
    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{"r.csv", "--png", "a.png", "--view", "hour"},
         "Option --view takes night, sun, hourglass, jellyfish or histogram, not 'hour'."},
        {{"r.csv", "--png", "a.png", "--view"},
         "Option --view needs a value: night, sun, hourglass, jellyfish or histogram."},
    };
    for (const auto& [args, message] : bad) {
        try {
            ParseChartCommandLine(args);
            ADD_FAILURE() << "accepted " << message;
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
    EXPECT_NE(ChartUsage().find("--view NAME"), std::string::npos);
}

// Each view of a readings file is drawn to a picture of the asked size.
TEST(ChartViews, EveryViewOfAReadingsFileIsDrawn) {
    TTempFolder folder;
    const std::string readings = WriteReadings(folder);
    for (const char* view : {"night", "sun", "hourglass", "jellyfish", "histogram"}) {
        SCOPED_TRACE(view);
        const std::string png = folder.File(std::string(view) + ".png");
        std::ostringstream out, err;
        const int status = RunChartCommand(
            ParseChartCommandLine({readings, "--png", png, "--view", view, "--size", "500x300",
                                   "--position", "52.16,4.49", "--site", "Leiden"}),
            out, err);
        ASSERT_EQ(status, 0) << err.str();
        EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(500, 300));
        EXPECT_NE(out.str().find("219 readings, 3 nights"), std::string::npos) << out.str();
    }
}

TEST(ChartViews, AFileThatCannotBeDrawnIsAFailureAndWritesNoPicture) {
    TTempFolder folder;
    const std::string png = folder.File("out.png");
    std::ostringstream out, err;
    EXPECT_EQ(
        RunChartCommand(ParseChartCommandLine({folder.File("missing.csv"), "--png", png, "--view",
                                               "hourglass", "--position", "52.16,4.49"}),
                        out, err),
        1);
    EXPECT_FALSE(err.str().empty());
    EXPECT_FALSE(std::ifstream(png).good());
}

// A view reads files and folders together (a reading in two files counts once) and --from and
// --to keep the nights between them; --stats beside --view writes the same nights.
TEST(ChartViews, AViewReadsManyFilesAndFoldersWithinThePeriod) {
    TTempFolder folder;
    std::filesystem::create_directory(folder.File("older"));
    WriteReadings(folder, "older/march-a.csv", 18, 21);
    const std::string newer = WriteReadings(folder, "march-b.csv", 21, 23);
    struct TRow {
        std::vector<std::string> Period;
        std::string Summary;
    };
    const TRow rows[] = {
        {{}, "438 readings, 6 nights"},
        {{"--from", "2026-03-20", "--to", "2026-03-22"}, "219 readings, 3 nights"},
        {{"--from", "2026-03-23"}, "73 readings, 1 night,"},
        {{"--to", "2026-03-18"}, "73 readings, 1 night,"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Summary);
        const std::string png = folder.File("hourglass.png");
        const std::string csv = folder.File("nights.csv");
        std::vector<std::string> args = {
            folder.File("older"), newer,       "--view", "hourglass", "--png", png, "--stats", csv,
            "--position",         "52.16,4.49"};
        args.insert(args.end(), row.Period.begin(), row.Period.end());
        std::ostringstream out, err;
        ASSERT_EQ(RunChartCommand(ParseChartCommandLine(args), out, err), 0) << err.str();
        EXPECT_NE(out.str().find(row.Summary), std::string::npos) << out.str();
        EXPECT_FALSE(QImage(QString::fromStdString(png)).isNull());
        const std::string nights = ReadBytes(csv);
        EXPECT_EQ(std::count(nights.begin(), nights.end(), '\n'),
                  1 + std::stoi(row.Summary.substr(row.Summary.find(", ") + 2)));
    }
    // A period without readings draws nothing and says so.
    std::ostringstream out, err;
    const std::string png = folder.File("empty.png");
    EXPECT_EQ(RunChartCommand(
                  ParseChartCommandLine({folder.File("older"), "--view", "night", "--png", png,
                                         "--from", "2026-04-01", "--position", "52.16,4.49"}),
                  out, err),
              1);
    EXPECT_FALSE(err.str().empty());
    EXPECT_FALSE(std::ifstream(png).good());
}
