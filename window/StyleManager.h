#pragma once

#include <QString>
#include <QStringList>

// The program's visual styles: nine named looks carried as Qt style sheets and palettes,
// plus the platform's own look under the name "Windows".
class TStyleManager {
public:
    // Every style the manager knows, the system style included, in no particular order.
    static QStringList StyleNames();
    static QString SystemStyleName();
    static QString ActiveStyleName();

    // Applies a style at once to every window; false (and nothing changed) for an unknown
    // name. Names are known in any letter case. With showErrorDialog an unknown name is also
    // reported in an error box.
    static bool TrySetStyle(const QString& name, bool showErrorDialog);
    // Applies a style; an unknown name is reported by an exception.
    static void SetStyle(const QString& name);
};
