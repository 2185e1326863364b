// Draws a night's chart from a readings file into a PNG picture, without a display.
#include "chart/ChartCommandLine.h"
#include "core/Sqmconfig.h"
#include "platform/Exception.h"
#include "window/StyleManager.h"

#include <QApplication>
#include <iostream>

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    TChartCommandLine command;
    try {
        command = ParseChartCommandLine(args);
    } catch (const Exception& e) {
        std::cerr << "nightlux-chart: " << e.what() << "\n" << ChartUsage();
        return 2;
    }
    if (command.Help) {
        std::cout << ChartUsage();
        return 0;
    }
    command.SettingsFile = SettingsFileName();
    // Nothing is ever shown: draw offscreen unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt sees the program name only: it would take --style for its own option.
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    if (command.Style &&
        !TStyleManager::TrySetStyle(QString::fromStdString(*command.Style), false)) {
        QStringList names = TStyleManager::StyleNames();
        names.sort();
        std::cerr << "nightlux-chart: Unknown style '" << *command.Style
                  << "'; the styles are: " << names.join(QStringLiteral(", ")).toStdString()
                  << ".\n";
        return 2;
    }
    return RunChartCommand(command, std::cout, std::cerr);
}
