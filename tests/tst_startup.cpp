#include "commandrunner.h"
#include "detailslogs.h"
#include "detailsprocess.h"
#include "packetinfo.h"
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
        QTest::newRow("sudo, HOME /root/")
            << 0 << QByteArray("/root/") << QByteArray("a") << int(LaunchAction::RefuseSudo);
        QTest::newRow("sudo, HOME //root/.")
            << 0 << QByteArray("//root/.") << QByteArray("a") << int(LaunchAction::RefuseSudo);
        QTest::newRow("sudo, HOME /rooted")
            << 0 << QByteArray("/rooted") << QByteArray("a") << int(LaunchAction::Run);
        QTest::newRow("regular user")
            << 1000 << QByteArray("/home/alice") << unset << int(LaunchAction::ReExecute);
        QTest::newRow("regular user, odd env")
            << 1000 << QByteArray("/root") << QByteArray("x") << int(LaunchAction::ReExecute);
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

    void sudoArgumentsDropArgv0() {
        char arg0[] = "/usr/local/bin/tessmar";
        char arg1[] = "-x";
        char arg2[] = "y; rm -rf /";
        char* argv[] = {arg0, arg1, arg2, nullptr};
        const std::vector<std::string> expected{"sudo", "-E", "tessmar", "-x", "y; rm -rf /"};
        QVERIFY(sudoArguments(3, argv) == expected);
        QVERIFY(sudoArguments(1, argv) == (std::vector<std::string>{"sudo", "-E", "tessmar"}));
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

    // Qt's start-up setting must not reach the programs Tessmar starts.
    void startupSettingIsNotInherited_data() {
        QTest::addColumn<QByteArray>("userValue");
        QTest::addColumn<QString>("childSees");
        QTest::newRow("unset") << QByteArray() << "unset\n";
        QTest::newRow("the user's own choice stays") << QByteArray("glx") << "glx\n";
    }
    void startupSettingIsNotInherited() {
        QFETCH(QByteArray, userValue);
        QFETCH(QString, childSees);
        if (userValue.isNull())
            qunsetenv("QT_XCB_GL_INTEGRATION");
        else
            qputenv("QT_XCB_GL_INTEGRATION", userValue);
        StartupEnvironment environment;
        QCOMPARE(qgetenv("QT_XCB_GL_INTEGRATION"), userValue.isNull() ? QByteArray("none") : userValue);
        environment.restore();
        const CommandResult child = CommandRunner::run("sh", {"-c", "echo ${QT_XCB_GL_INTEGRATION-unset}"});
        qunsetenv("QT_XCB_GL_INTEGRATION");
        QCOMPARE(child.outputText(), childSees);
    }

    void localeFromEnvironment() {
        qputenv("APP_LOCALE", "de_DE");
        QCOMPARE(interfaceLocaleName(), QString("de_DE"));
        qputenv("APP_LOCALE", "");
        QCOMPARE(interfaceLocaleName(), QLocale::system().name());
        qunsetenv("APP_LOCALE");
        QCOMPARE(interfaceLocaleName(), QLocale::system().name());
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
    // Queued connections find the records by class name; the further names
    // are kept for whoever refers to them.
    void sharedRecordsAreRegistered() {
        registerSharedMetaTypes();
        const QList<QPair<const char*, const char*>> aliases = {
            {"DetailsProcess", "DetailsProcess"},
            {"QList<DetailProcess>", "QList<DetailsProcess>"},
            {"DetailsService", "DetailsService"},
            {"QList<DetailsService>", "QList<DetailsService>"},
            {"DetailsCronJob", "DetailsCronJob"},
            {"QList<DetailsCronJob>", "QList<DetailsCronJob>"},
            {"DetailsUser", "DetailsUser"},
            {"QList<DetailsUser>", "QList<DetailsUser>"},
            {"DetailLogsSysLog", "DetailsLogsSysLog"},
            {"QList<DetailsLogsSysLog>", "QList<DetailsLogsSysLog>"},
            {"DetailLogsAuthLog", "DetailsLogsAuthLog"},
            {"QList<DetailsLogsAuthLog>", "QList<DetailsLogsAuthLog>"},
            {"DetailLogsKernLog", "DetailsLogsKernLog"},
            {"QList<DetailsLogsKernLog>", "QList<DetailsLogsKernLog>"},
            {"DetailLogsDmesgLog", "DetailsLogsDmesgLog"},
            {"QList<DetailsLogsDmesgLog>", "QList<DetailsLogsDmesgLog>"},
            {"DetailLogsBootLog", "DetailsLogsBootLog"},
            {"QList<DetailsLogsBootLog>", "QList<DetailsLogsBootLog>"},
            {"DetailLogsFailLog", "DetailsLogsFailLog"},
            {"QList<DetailsLogsFailLog>", "QList<DetailsLogsFailLog>"},
            {"DetailLogsDpkgLog", "DetailsLogsDpkgLog"},
            {"QList<DetailsLogsDpkgLog>", "QList<DetailsLogsDpkgLog>"},
            {"DetailLogsFlatpakLog", "DetailsLogsFlatpakLog"},
            {"QList<DetailsLogsFlatpakLog>", "QList<DetailsLogsFlatpakLog>"},
            {"PacketInfo", "PacketInfo"},
        };
        for (const auto& [name, className] : aliases) {
            const int id = QMetaType::type(name);
            QVERIFY2(id != QMetaType::UnknownType, name);
            QCOMPARE(id, QMetaType::type(className));
        }
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
