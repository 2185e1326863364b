#pragma once

#include "history/NightSky.h"

#include <QColor>
#include <QPalette>

// The chart's colours for a window palette: its background, text and grid from the palette,
// the readings in a colour that stands out on a light or on a dark background, twilight as
// ever fainter tints of one sky colour.
struct TChartPalette {
    bool Dark = false;
    QColor Background;
    QColor PlotBackground;
    QColor Text;
    QColor Grid;
    QColor Readings;
    QColor Mean;
    QColor Moon;

    QColor Twilight(TTwilightKind kind) const;
};

TChartPalette ChartPaletteFor(const QPalette& palette);

// A dark window palette for pictures made without the program's styles.
QPalette DarkWindowPalette();
