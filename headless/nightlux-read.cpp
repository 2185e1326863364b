// nightlux-read: reads a Sky Quality Meter without a window, once or continuously, for
// computers without a display. No Qt application object is made: nothing here needs one,
// and the C library keeps its default locale, so numbers always use "." as the decimal
// point.

#include "core/Sqmconfig.h"
#include "headless/HeadlessReader.h"
#include "headless/StopSignals.h"

#include <iostream>

int main(int argc, char** argv) {
    try {
        TStopSignals stop;
        return RunHeadlessReader(std::vector<std::string>(argv + 1, argv + argc),
                                 SettingsFileName(), std::cout, std::cerr, stop);
    } catch (const std::exception& e) {
        std::cerr << "nightlux-read: " << e.what() << std::endl;
        return 1;
    }
}
