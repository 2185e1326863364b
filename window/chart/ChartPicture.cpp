#include "window/chart/ChartPicture.h"

#include "platform/Exception.h"

#include <QCoreApplication>
#include <QImageWriter>
#include <QPixmap>
#include <QSaveFile>
#include <QWidget>

void SaveChartPicture(QWidget& widget, const QString& fileName, QSize size) {
    const auto failure = [&fileName](const QString& reason) {
        return Exception("Could not save the chart to " + fileName.toStdString() + ": " +
                         reason.toStdString());
    };
    widget.resize(size);
    // A widget that is not shown lays itself out on its posted events.
    QCoreApplication::sendPostedEvents();
    const QPixmap picture = widget.grab();
    if (picture.isNull())
        throw failure(QStringLiteral("the picture could not be drawn"));

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw failure(file.errorString());
    QImageWriter writer(&file, "png");
    if (!writer.write(picture.toImage())) {
        file.cancelWriting();
        throw failure(writer.errorString());
    }
    if (!file.commit())
        throw failure(file.errorString());
}
