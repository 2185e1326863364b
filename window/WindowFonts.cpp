#include "window/WindowFonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

QString WindowFontFamily() {
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        for (const char* candidate : {"Tahoma", "DejaVu Sans Condensed", "Liberation Sans",
                                      "Nimbus Sans", "DejaVu Sans", "Noto Sans"}) {
            QString name = QString::fromLatin1(candidate);
            if (families.contains(name, Qt::CaseInsensitive))
                return name;
        }
        QFont generic;
        generic.setStyleHint(QFont::SansSerif);
        return QFontInfo(generic).family();
    }();
    return family;
}

QFont WindowFont(int pixelHeight, bool bold) {
    QFont font(WindowFontFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}
