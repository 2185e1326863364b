#include "window/chart/ChartPalette.h"

namespace {

QColor WithAlpha(QColor color, int alpha) {
    color.setAlpha(alpha);
    return color;
}

} // namespace

QColor TChartPalette::Twilight(TTwilightKind kind) const {
    const QColor sky = Dark ? QColor(0x6f, 0xa8, 0xdc) : QColor(0x4a, 0x90, 0xd9);
    switch (kind) {
    case TTwilightKind::Day:
        return WithAlpha(sky, Dark ? 120 : 110);
    case TTwilightKind::Civil:
        return WithAlpha(sky, Dark ? 80 : 72);
    case TTwilightKind::Nautical:
        return WithAlpha(sky, Dark ? 48 : 42);
    case TTwilightKind::Astronomical:
        return WithAlpha(sky, Dark ? 24 : 20);
    }
    return sky;
}

TChartPalette ChartPaletteFor(const QPalette& palette) {
    TChartPalette p;
    p.Background = palette.color(QPalette::Active, QPalette::Window);
    p.PlotBackground = palette.color(QPalette::Active, QPalette::Base);
    p.Text = palette.color(QPalette::Active, QPalette::WindowText);
    p.Dark = p.Background.lightness() < 128;
    p.Grid = WithAlpha(p.Text, 60);
    p.Readings = p.Dark ? QColor(0xf2, 0xc3, 0x5b) : QColor(0x1d, 0x4f, 0x91);
    p.Mean = p.Dark ? QColor(0xe0, 0x7a, 0x5f) : QColor(0xb0, 0x3a, 0x2e);
    p.Moon = WithAlpha(p.Text, 140);
    return p;
}

QPalette DarkWindowPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2f, 0x35, 0x3c));
    p.setColor(QPalette::WindowText, QColor(0xd5, 0xdb, 0xe1));
    p.setColor(QPalette::Base, QColor(0x23, 0x28, 0x2e));
    p.setColor(QPalette::Text, QColor(0xe8, 0xed, 0xf2));
    return p;
}
