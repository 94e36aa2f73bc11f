// The peer of the program's start-up and idle memory figures: a bare Qt 5
// window with eight empty tabs, in the same style, and nothing else.
// Measured beside tessmar by scripts/measure-startup and scripts/measure-idle.
#include <QApplication>
#include <QMainWindow>
#include <QTabWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    auto* tabs = new QTabWidget(&window);
    for (const char* title :
         {"Overview", "Applications", "Processes", "Services", "Cron Jobs", "Networking", "Users", "Logs"})
        tabs->addTab(new QWidget, QString::fromLatin1(title));
    window.setCentralWidget(tabs);
    window.resize(720, 520);
    window.show();
    return QApplication::exec();
}
