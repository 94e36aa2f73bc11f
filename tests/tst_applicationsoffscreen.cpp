// Off the X11 platform (offscreen here, Wayland alike) nothing may reach the X calls.
#include "tabapplications.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "x11windowreader.h"

#include <QApplication>
#include <QMainWindow>
#include <QtTest>

class TestApplicationsOffscreen : public QObject {
    Q_OBJECT
private slots:
    void noXCallsWithoutX() {
        QCOMPARE(QGuiApplication::platformName(), QString("offscreen"));
        QVERIFY(!X11WindowReader::isAvailable());
        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);
        TabApplications tab(&ui, &window);
        QVERIFY(tab.getWindowIcon(0x400030).isNull());
        QCOMPARE(tab.getWindowPid("0x00400030"), 0);
        QCOMPARE(tab.getWindowClass("0x00400030"), QString());
        QFile file(TestSupport::testDataPath("applications/wmctrl-l.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(tab.listWindows(file.readAll()).size(), 5);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TestApplicationsOffscreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_applicationsoffscreen.moc"
