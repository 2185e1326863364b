// The least Qt Widgets program: one window with a label. The floor of the window's start-up.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QLabel label(QStringLiteral("Nightlux"));
    label.show();
    return application.exec();
}
