#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabiroku"));
    QApplication::setApplicationDisplayName(QStringLiteral("タビロク"));
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("タビロク"));
    w.showMaximized();
    return app.exec();
}
