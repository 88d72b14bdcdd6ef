#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TrackFen"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.1"));
    QMainWindow window;
    window.setObjectName(QStringLiteral("frmVexo"));
    window.setWindowTitle(QStringLiteral("TrackFen ver1.0.1"));
    window.show();
    return app.exec();
}
