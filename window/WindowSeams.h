#pragma once

#include "core/UiSeams.h"

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// The window's ways of reaching the user and the desktop, each through one seam that a
// test replaces to record what the user would have seen.

enum class TMessageIcon { Information, Warning, Critical };

struct TSaveDialogRequest {
    QString Folder;
    QString FileName;
    QString DefaultExtension; // without the dot
    QString Filter;           // for example "*.txt"
};

struct TWindowSeams {
    // A modal box with a caption, an icon and an OK button.
    std::function<void(const QString& caption, const QString& text, TMessageIcon icon)> MessageBox;
    // Sounds the system's beep.
    std::function<void()> Beep;
    // Opens an address in the user's browser; false when no browser could be opened.
    std::function<bool(const QString& url)> OpenUrl;
    // Runs a file-save dialog; the chosen file name, or nothing when the user cancels.
    std::function<std::optional<QString>(QWidget* parent, const TSaveDialogRequest& request)>
        SaveDialog;
};

// The seams in use; the defaults talk to the real desktop.
TWindowSeams& WindowSeams();
void ShowMessageBox(const QString& caption, const QString& text, TMessageIcon icon);
bool OpenUrl(const QString& url);
// The window's side of the shared message and beep seams: an information box captioned with
// the application's display name, and the beep above. The application object installs it.
TUiSeams& WindowUiSeams();
std::optional<QString> RunSaveDialog(QWidget* parent, const TSaveDialogRequest& request);

// Replaces the seams for the lifetime of the object and puts the previous ones back.
class TWindowSeamsOverride {
public:
    explicit TWindowSeamsOverride(TWindowSeams seams);
    ~TWindowSeamsOverride();
    TWindowSeamsOverride(const TWindowSeamsOverride&) = delete;
    TWindowSeamsOverride& operator=(const TWindowSeamsOverride&) = delete;

private:
    TWindowSeams Saved;
};
