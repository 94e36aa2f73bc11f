#include "startup.h"

#include <QtTest>

#include <cstdio>

// The launch decisions and start-up settings, without starting Qt's GUI.
class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void launchDecision_data() {
        QTest::addColumn<int>("uid");
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QByteArray>("sudoUser");
        QTest::addColumn<int>("action");
        const QByteArray unset;
        QTest::newRow("plain sudo") << 0 << QByteArray("/root") << QByteArray("alice")
                                    << int(LaunchAction::RefuseSudo);
        QTest::newRow("sudo without HOME")
            << 0 << unset << QByteArray("alice") << int(LaunchAction::RefuseSudo);
        QTest::newRow("sudo -E") << 0 << QByteArray("/home/alice") << QByteArray("alice")
                                 << int(LaunchAction::Run);
        QTest::newRow("root login") << 0 << QByteArray("/root") << unset << int(LaunchAction::Run);
        QTest::newRow("sudo, HOME //root/.")
            << 0 << QByteArray("//root/.") << QByteArray("a") << int(LaunchAction::RefuseSudo);
        QTest::newRow("sudo, HOME /rooted")
            << 0 << QByteArray("/rooted") << QByteArray("a") << int(LaunchAction::Run);
        QTest::newRow("regular user")
            << 1000 << QByteArray("/home/alice") << unset << int(LaunchAction::ReExecute);
    }
    void launchDecision() {
        QFETCH(int, uid);
        QFETCH(QByteArray, home);
        QFETCH(QByteArray, sudoUser);
        QFETCH(int, action);
        const LaunchAction decided =
            decideLaunch(static_cast<uid_t>(uid), home.isNull() ? nullptr : home.constData(),
                         sudoUser.isNull() ? nullptr : sudoUser.constData());
        QCOMPARE(int(decided), action);
    }

    void bannerPrintsNullForUnsetVariables() {
        char* buffer = nullptr;
        size_t size = 0;
        FILE* out = open_memstream(&buffer, &size);
        printRootBanner(out, ":0", nullptr, nullptr);
        std::fclose(out);
        const QString text = QString::fromUtf8(buffer, int(size));
        std::free(buffer);
        QCOMPARE(text, QString("Application is running as root.\nDISPLAY=:0\nXAUTHORITY=(null)\n"
                               "DBUS_SESSION_BUS_ADDRESS=(null)\n"));
    }

    void programCatalogueFromProgramFolder() {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(qEnvironmentVariable("TESSMAR_TEST_QM_DIR") + "/tessmar_xx.qm",
                            dir.path() + "/tessmar_xx.qm"));
        QTranslator translator;
        QVERIFY(loadProgramTranslation(translator, dir.path(), "xx_YY"));
        QCOMPARE(translator.translate("MainWindow", "Overview"), QString("[Overview]"));
        QTranslator missing;
        QVERIFY(!loadProgramTranslation(missing, dir.path(), "zz_ZZ"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
