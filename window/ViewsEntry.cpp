// The views module's entry point; also linked into the processes that take the views directly.
#include "core/UiSeams.h"
#include "platform/Export.h"
#include "platform/SystemTime.h"
#include "window/ViewsModule.h"
#include "window/chart/NightChartFm.h"
#include "window/history/HistoryFm.h"

namespace {

const TViewsHost* Host = nullptr;

SYSTEMTIME HostLocalTime() {
    return Host->LocalTime();
}

class THostSeams : public TUiSeams {
public:
    void ShowMessage(const std::string& text) override { Host->ShowMessage(text); }
    void Beep() override { Host->Beep(); }
};

TNightChartFm* NewNightChart(const TNight& night, QWidget* parent) {
    return new TNightChartFm(night, parent);
}

THistoryFm* NewHistory(QWidget* parent) {
    return new THistoryFm(parent);
}

} // namespace

extern "C" NIGHTLUX_EXPORT const TViewFactories* NightluxViews(const TViewsHost* host) {
    static const TViewFactories factories{&NewNightChart, &NewHistory};
    // Linked into the program itself, the state is already the program's.
    if (host != nullptr && Host == nullptr) {
        static const TViewsHost kept = *host;
        static THostSeams seams;
        Host = &kept;
        SetLocalTimeSource(&HostLocalTime);
        SetUiSeams(&seams);
    }
    return &factories;
}
