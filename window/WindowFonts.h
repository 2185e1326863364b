#pragma once

#include <QFont>
#include <QString>

// The window's font family: Tahoma where the system has it, else the nearest sans-serif
// the system has (a condensed humanist face first, as Tahoma is one).
QString WindowFontFamily();

// A font of the window's family whose characters are pixelHeight pixels high (at 96 pixels
// per inch; the window system scales it with the screen).
QFont WindowFont(int pixelHeight, bool bold = false);
