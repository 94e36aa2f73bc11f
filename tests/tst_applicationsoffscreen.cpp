// Off the X11 platform (offscreen here, Wayland alike) nothing may reach the
// X calls, and the windows are those `wmctrl -l` prints: here stand-ins for
// it, as it prints on a wedged X server or when windows close while it runs.
#include "systempaths.h"
#include "tabapplications.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QMainWindow>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class TestApplicationsOffscreen : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QMainWindow> window;
    std::unique_ptr<Ui::MainWindow> ui;
    TabApplications* tab = nullptr;
    QTemporaryDir tools;

    QTableWidget* table() const { return ui->tableApplications; }
    // A refill with the stand-in wmctrl of folder.
    bool refreshWith(const QString& folder) {
        SystemPaths::prependSearchPath(folder);
        QSignalSpy filled(tab, &TabApplications::applicationTableFilled);
        tab->updateApplicationTable();
        const bool done = filled.wait(10000);
        SystemPaths::setSearchPath(SystemPaths::defaultSearchPath());
        return done;
    }
    bool writeWmctrl(const QByteArray& body) {
        return TestSupport::writeScript(tools.filePath("wmctrl"), body);
    }
    QStringList titles() const {
        QStringList shown;
        for (int row = 0; row < table()->rowCount(); ++row)
            shown << table()->item(row, 0)->text();
        return shown;
    }

private slots:
    void init() {
        window = std::make_unique<QMainWindow>();
        ui = std::make_unique<Ui::MainWindow>();
        ui->setupUi(window.get());
        tab = new TabApplications(ui.get(), window.get());
        tab->setupApplicationTable();
    }
    void cleanup() { window.reset(); }

    void noXCallsWithoutX() {
        QCOMPARE(QGuiApplication::platformName(), QString("offscreen"));
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

    // wmctrl prints part of a list and then hangs: the listing is cut short,
    // not shown, and the selection goes with it.
    void wedgedListingIsCutShortAndUnused() {
        QVERIFY(writeWmctrl("echo '0x00400030  0 vm Gone'\n"));
        QVERIFY(refreshWith(tools.path()));
        QCOMPARE(titles(), QStringList{"Gone"});
        table()->setCurrentCell(0, 0);
        QVERIFY(refreshWith(TestSupport::testDataPath("applications/wedged")));
        QCOMPARE(table()->rowCount(), 0);
        QVERIFY(table()->selectedItems().isEmpty() && !ui->pushButtonCloseApp->isEnabled());
    }

    // wmctrl meets a window that closed while it read it: part of the list
    // and an X error. The list is read again, never shown in part.
    void listingEndedByAnXErrorIsReadAgain() {
        QVERIFY(writeWmctrl(QString("if [ -e '%1/failed' ]; then echo '0x00400031  0 vm Whole'; exit 0; fi\n"
                                    ": > '%1/failed'\necho '0x00400030  0 vm Half'\n"
                                    "echo 'X Error of failed request:  BadWindow' >&2\nexit 1\n")
                                .arg(tools.path())
                                .toUtf8()));
        QVERIFY(refreshWith(tools.path()));
        QVERIFY(QFile::exists(tools.filePath("failed")));
        QCOMPARE(titles(), QStringList{"Whole"});
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TestApplicationsOffscreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_applicationsoffscreen.moc"
