// Off the X11 platform (offscreen here, Wayland alike) nothing may reach the X calls.
#include "tabapplications.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QMainWindow>
#include <QtTest>

class TestApplicationsOffscreen : public QObject {
    Q_OBJECT
private slots:
    void noXCallsWithoutX() {
        QCOMPARE(QGuiApplication::platformName(), QString("offscreen"));
        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);
        TabApplications tab(&ui, &window);
        WorkerApplications worker(32);
        // Without the X server's client list every well-formed wmctrl line is
        // listed: a hexadecimal id, a desktop number, runs of blanks as one.
        // The "Evil" window's title forged a line; on X the client list refuses it.
        QFile file(TestSupport::testDataPath("applications/wmctrl-l.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList rows;
        for (const DetailsApplicationWindow& listed : worker.listWindows(file.readAll()))
            rows << listed.id + "|" + listed.title;
        QCOMPARE(rows,
                 (QStringList{"0x00400030|Editor two blanks", "0x00600030|Evil", "0x00000bad|Forged",
                              "0x00800030|leading", QString::fromUtf8("0x00c00004|Terminal — ünïcode")}));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TestApplicationsOffscreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_applicationsoffscreen.moc"
