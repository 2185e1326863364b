// Each view of the window opened, from its construction to its first complete paint: the
// Night Chart with a full night of readings, the History view with a simulated year (read
// on its worker thread, then drawn) and the Find Meters dialog (without a search). In the
// benchmark's own process on Qt's offscreen platform; the views come from the views linked
// into the benchmark, the same code as the module's.

#include "bench/BenchSupport.h"
#include "history/Night.h"
#include "tests/support/TempFolder.h"
#include "tools/year/SimulatedYear.h"
#include "window/FindMetersDialog.h"
#include "window/ViewsModule.h"
#include "window/chart/NightChartFm.h"
#include "window/history/HistoryFm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QGraphicsView>
#include <QWidget>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <qcustomplot.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void Application() {
    if (QApplication::instance() != nullptr)
        return;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "nightlux_bench";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
}

// Notes the first paint of a widget, once its paint handler has run.
class TPaintWatch : public QObject {
public:
    explicit TPaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    bool Painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            Painted = true; // the handler runs next, before control returns to the loop
        return false;
    }
};

void WaitFor(const bool& done, std::chrono::seconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (!done) {
        if (Clock::now() > end)
            throw std::runtime_error("the view was not painted");
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    QCoreApplication::processEvents(); // the rest of the same paint
}

std::vector<TNightReading> FullNight(const TNight& night) {
    std::vector<TNightReading> readings;
    const TLocalTime noon = night.GetStart();
    for (int minute = 0; minute < 24 * 60; ++minute) {
        TNightReading reading;
        reading.Time = noon + std::chrono::minutes(minute);
        const double hours = minute / 60.0;
        reading.Magnitude = 14.0 + 7.0 * std::sin(hours / 24.0 * 3.14159265);
        reading.Nelm = 6.0;
        reading.Temperature = 4.0;
        reading.SerialNumber = "1234";
        readings.push_back(reading);
    }
    return readings;
}

void NightChartOpening(benchmark::State& state) {
    Application();
    const TNight night = TNight::Of(std::chrono::local_days{std::chrono::year{2026} / 12 / 10} +
                                    std::chrono::hours{22});
    const std::vector<TNightReading> readings = FullNight(night);
    TSkySite site;
    site.Site = TPosition{52.16, 4.49, 2};
    site.Name = "Simulated Meadow";
    EachIteration(state, [&] {
        const Clock::time_point start = Clock::now();
        std::unique_ptr<TNightChartFm> chart(NewNightChartFm(night, nullptr));
        chart->SetSkySite(site);
        chart->SetSessionReadings(readings);
        auto* view = chart->findChild<QGraphicsView*>();
        if (view == nullptr)
            throw std::runtime_error("the Night Chart has no chart view");
        TPaintWatch watch(view->viewport());
        chart->show();
        WaitFor(watch.Painted, std::chrono::seconds(60));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    });
}

const std::string& SimulatedYear() {
    static std::unique_ptr<TTempFolder> folder;
    if (!folder) {
        ::setenv("TZ", "UTC", 1);
        folder = std::make_unique<TTempFolder>();
        TSimulatedYearOptions options;
        options.Folder = folder->GetPath();
        WriteSimulatedYear(options);
    }
    return folder->GetPath();
}

void HistoryOpening(benchmark::State& state) {
    Application();
    const std::string& year = SimulatedYear();
    EachIteration(state, [&] {
        const Clock::time_point start = Clock::now();
        std::unique_ptr<THistoryFm> history(NewHistoryFm(nullptr));
        bool loaded = false;
        QObject::connect(history.get(), &THistoryFm::LoadFinished, [&] { loaded = true; });
        history->SetPaths({year});
        history->Load();
        history->show();
        WaitFor(loaded, std::chrono::seconds(120));
        if (!history->GetHistory())
            throw std::runtime_error("the year was not read");
        TPaintWatch watch(history->GetPlot());
        history->GetPlot()->update();
        WaitFor(watch.Painted, std::chrono::seconds(60));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    });
}

void FindMetersOpening(benchmark::State& state) {
    Application();
    EachIteration(state, [&] {
        const Clock::time_point start = Clock::now();
        TFindMetersDialog dialog;
        TPaintWatch watch(&dialog);
        dialog.show();
        WaitFor(watch.Painted, std::chrono::seconds(60));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    });
}

} // namespace

BENCHMARK(NightChartOpening)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(HistoryOpening)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FindMetersOpening)->UseManualTime()->Unit(benchmark::kMillisecond);
