#pragma once

#include <QSize>
#include <QString>

class QWidget;

// Saves a picture of a widget (shown or not, a display or none) as PNG at the given size.
// The file is replaced only once the whole picture is written; raises Exception
// "Could not save the chart to <file name>: <reason>" otherwise, and an older file stays.
void SaveChartPicture(QWidget& widget, const QString& fileName, QSize size);
