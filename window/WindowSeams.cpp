#include "window/WindowSeams.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

void RealMessageBox(const QString& caption, const QString& text, TMessageIcon icon) {
    static constexpr QMessageBox::Icon icons[] = {QMessageBox::Information, QMessageBox::Warning,
                                                  QMessageBox::Critical};
    QMessageBox box(icons[static_cast<int>(icon)], caption, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

class TWindowUiSeams : public TUiSeams {
public:
    void ShowMessage(const std::string& text) override {
        ShowMessageBox(QApplication::applicationDisplayName(), QString::fromStdString(text),
                       TMessageIcon::Information);
    }
    void Beep() override { WindowSeams().Beep(); }
};

bool RealOpenUrl(const QString& url) {
    return QDesktopServices::openUrl(QUrl(url));
}

std::optional<QString> RealSaveDialog(QWidget* parent, const TSaveDialogRequest& request) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The readings file is appended to, so choosing an existing file needs no confirmation.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(request.DefaultExtension);
    dialog.setNameFilter(request.Filter);
    dialog.setDirectory(request.Folder);
    dialog.selectFile(request.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

} // namespace

TWindowSeams& WindowSeams() {
    // Lambdas, not function pointers: the seams' types stay out of the exported symbols.
    static TWindowSeams seams{[](const QString& caption, const QString& text, TMessageIcon icon) {
                                  RealMessageBox(caption, text, icon);
                              },
                              [] { QApplication::beep(); },
                              [](const QString& url) { return RealOpenUrl(url); },
                              [](QWidget* parent, const TSaveDialogRequest& request) {
                                  return RealSaveDialog(parent, request);
                              }};
    return seams;
}

void ShowMessageBox(const QString& caption, const QString& text, TMessageIcon icon) {
    WindowSeams().MessageBox(caption, text, icon);
}

bool OpenUrl(const QString& url) {
    return WindowSeams().OpenUrl(url);
}

std::optional<QString> RunSaveDialog(QWidget* parent, const TSaveDialogRequest& request) {
    return WindowSeams().SaveDialog(parent, request);
}

TUiSeams& WindowUiSeams() {
    static TWindowUiSeams seams;
    return seams;
}

TWindowSeamsOverride::TWindowSeamsOverride(TWindowSeams seams) : Saved(WindowSeams()) {
    TWindowSeams& current = WindowSeams();
    if (seams.MessageBox)
        current.MessageBox = std::move(seams.MessageBox);
    if (seams.Beep)
        current.Beep = std::move(seams.Beep);
    if (seams.OpenUrl)
        current.OpenUrl = std::move(seams.OpenUrl);
    if (seams.SaveDialog)
        current.SaveDialog = std::move(seams.SaveDialog);
}

TWindowSeamsOverride::~TWindowSeamsOverride() {
    WindowSeams() = Saved;
}
