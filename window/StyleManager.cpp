#include "window/StyleManager.h"

#include "platform/Exception.h"
#include "window/NightluxApplication.h"
#include "window/WindowSeams.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QPalette>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>
#include <algorithm>

namespace {

const QString StylesFolder = QStringLiteral(":/styles/");
const QString StyleSuffix = QStringLiteral(".style");

using TStyleValues = QHash<QString, QString>;

QString ReadResource(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll());
}

// A style file holds "key=value" lines.
TStyleValues ReadStyleValues(const QString& name) {
    TStyleValues values;
    const QStringList lines =
        ReadResource(StylesFolder + name + StyleSuffix).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return values;
}

QString StyleSheetFor(const TStyleValues& values) {
    QString sheet = ReadResource(StylesFolder + QStringLiteral("template.qss"));
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        sheet.replace(QStringLiteral("${") + it.key() + QLatin1Char('}'), it.value());
    return sheet;
}

QPalette PaletteFor(const TStyleValues& v) {
    auto c = [&v](const char* key) { return QColor(v.value(QString::fromLatin1(key))); };
    QPalette p;
    p.setColor(QPalette::Window, c("window"));
    p.setColor(QPalette::WindowText, c("text"));
    p.setColor(QPalette::Base, c("base"));
    p.setColor(QPalette::AlternateBase, c("panel"));
    p.setColor(QPalette::Text, c("fieldtext"));
    p.setColor(QPalette::Button, c("buttonbottom"));
    p.setColor(QPalette::ButtonText, c("buttontext"));
    p.setColor(QPalette::Highlight, c("highlight"));
    p.setColor(QPalette::HighlightedText, c("highlighttext"));
    p.setColor(QPalette::ToolTipBase, c("tip"));
    p.setColor(QPalette::ToolTipText, c("tiptext"));
    p.setColor(QPalette::PlaceholderText, c("disabled"));
    p.setColor(QPalette::Light, c("panellight"));
    p.setColor(QPalette::Dark, c("panelborder"));
    p.setColor(QPalette::Mid, c("border"));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, c("disabled"));
    p.setColor(QPalette::Disabled, QPalette::Base, c("basedisabled"));
    return p;
}

struct TActiveStyle {
    QString Name;
    QString SystemStyleKey; // the Qt style in use before the first change
    // What the last carried style set: the application's style (Fusion under the style
    // sheet), the style sheet, the palette asked for and the one that resulted.
    QPointer<QStyle> Applied;
    QString Sheet;
    QPalette Palette;
    QPalette ResolvedPalette;
};

TActiveStyle& Active() {
    static TActiveStyle active;
    return active;
}

void ApplySystemStyle() {
    TActiveStyle& active = Active();
    if (active.SystemStyleKey.isEmpty())
        return;
    qApp->setStyleSheet(QString());
    QApplication::setStyle(active.SystemStyleKey);
    QApplication::setPalette(QApplication::style()->standardPalette());
}

// Whether what the last carried style set is still in force, untouched since.
bool StillInForce(const TActiveStyle& active, const QString& sheet, const QPalette& palette) {
    return active.Applied != nullptr && QApplication::style() == active.Applied &&
           qApp->styleSheet() == sheet && active.Palette == palette &&
           QApplication::palette() == active.ResolvedPalette;
}

void ApplyCarriedStyle(const QString& name) {
    TActiveStyle& active = Active();
    // Setting the same style, style sheet and palette again would polish every widget of the
    // window anew (most of the window's start-up time) and change nothing.
    if (active.Name == name && StillInForce(active, active.Sheet, active.Palette))
        return;
    const TStyleValues values = ReadStyleValues(name);
    const QPalette palette = PaletteFor(values);
    const QString sheet = StyleSheetFor(values);
    if (StillInForce(active, sheet, palette))
        return;
    if (QApplication::style()->name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(palette);
    qApp->setStyleSheet(sheet);
    active.Applied = QApplication::style();
    active.Sheet = sheet;
    active.Palette = palette;
    active.ResolvedPalette = QApplication::palette();
}

} // namespace

// The resources live in a static library; this makes sure they are registered.
static void InitStyleResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(styles);
        return true;
    }();
    (void)done;
}

QStringList TStyleManager::StyleNames() {
    // The styles are compiled in: listed once.
    static const QStringList names = [] {
        InitStyleResources();
        QStringList found;
        const QStringList files =
            QDir(StylesFolder).entryList({QLatin1Char('*') + StyleSuffix}, QDir::Files);
        for (const QString& file : files)
            found << file.chopped(StyleSuffix.size());
        found << SystemStyleName();
        return found;
    }();
    return names;
}

QString TStyleManager::SystemStyleName() {
    return QStringLiteral("Windows");
}

QString TStyleManager::ActiveStyleName() {
    return Active().Name.isEmpty() ? SystemStyleName() : Active().Name;
}

bool TStyleManager::TrySetStyle(const QString& requested, bool showErrorDialog) {
    // Known in any letter case, applied under its own spelling.
    const QStringList names = StyleNames();
    const auto known = std::find_if(names.cbegin(), names.cend(), [&requested](const QString& n) {
        return n.compare(requested, Qt::CaseInsensitive) == 0;
    });
    if (known == names.cend()) {
        if (showErrorDialog)
            ShowMessageBox(QString::fromUtf8(ApplicationTitle),
                           QStringLiteral("Style '%1' not found.").arg(requested),
                           TMessageIcon::Critical);
        return false;
    }
    const QString& name = *known;
    TActiveStyle& active = Active();
    if (active.SystemStyleKey.isEmpty())
        active.SystemStyleKey = QApplication::style()->name();
    if (name == SystemStyleName())
        ApplySystemStyle();
    else
        ApplyCarriedStyle(name);
    active.Name = name;
    return true;
}

void TStyleManager::SetStyle(const QString& name) {
    if (!TrySetStyle(name, false))
        throw Exception("Style '" + name.toStdString() + "' not found.");
}
