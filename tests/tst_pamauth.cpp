#include "pamauth.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <pwd.h>
#include <security/pam_appl.h>
#include <unistd.h>

// The PAM conversation, a private PAM stack through pam_wrapper (run in a
// child of this test with the wrapper preloaded), and the invoking user.
class TestPamAuth : public QObject {
    Q_OBJECT

    static QString wrapperLibrary() {
        for (const char* path : {"/usr/lib/x86_64-linux-gnu/libpam_wrapper.so", "/usr/lib/libpam_wrapper.so"})
            if (QFileInfo::exists(QLatin1String(path)))
                return QLatin1String(path);
        return QString();
    }

private slots:
    void conversationAnswersHiddenPromptsOnly() {
        struct pam_message prompt1 = {PAM_PROMPT_ECHO_OFF, "Password:"};
        struct pam_message info = {PAM_TEXT_INFO, "Welcome"};
        struct pam_message visible = {PAM_PROMPT_ECHO_ON, "Login:"};
        struct pam_message prompt2 = {PAM_PROMPT_ECHO_OFF, "Again:"};
        const struct pam_message* messages[] = {&prompt1, &info, &visible, &prompt2};
        struct pam_response* answers = nullptr;
        char password[] = "se cret";
        QCOMPARE(pamConversation(4, messages, &answers, password), int(PAM_SUCCESS));
        QVERIFY(answers);
        QCOMPARE(QByteArray(answers[0].resp), QByteArray("se cret"));
        QVERIFY(!answers[1].resp);
        QVERIFY(!answers[2].resp);
        QCOMPARE(QByteArray(answers[3].resp), QByteArray("se cret"));
        for (int i = 0; i < 4; ++i)
            std::free(answers[i].resp);
        std::free(answers);
        QCOMPARE(pamConversation(0, messages, &answers, password), int(PAM_CONV_ERR));
    }

    // A stack that sends an information text before the prompt, then checks
    // the account: the password is answered and the text is not.
    void wrappedStack_data() {
        QTest::addColumn<QString>("user"); // empty: whoever started the program
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("result");
        QTest::newRow("right") << "trixie"
                               << "pa ss;$w'd" << int(AuthAccepted);
        QTest::newRow("wrong") << "trixie"
                               << "nope" << int(AuthRefused);
        // Started by root itself, with no sudo in between: root is asked.
        QTest::newRow("root login") << QString() << "root's" << int(AuthAccepted);
    }
    void wrappedStack() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(int, result);
        if (::geteuid() != 0 && user.isEmpty())
            QSKIP("a root login needs root");
        if (wrapperLibrary().isEmpty())
            QSKIP("libpam-wrapper is not installed");
        QTemporaryDir dir;
        const QByteArray passdb = QFile::encodeName(dir.filePath(QStringLiteral("passdb")));
        const QByteArray modules =
            QFile::encodeName(QFileInfo(wrapperLibrary()).absolutePath() + "/pam_wrapper/");
        const QByteArray matrix = modules + "pam_matrix.so passdb=" + passdb + "\n";
        const auto write = [](const QString& path, const QByteArray& text) {
            QFile file(path);
            return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
                   file.write(text) == text.size();
        };
        QVERIFY(write(QFile::decodeName(passdb), user.isEmpty()
                                                     ? QByteArray("root:root's:common-auth\n")
                                                     : QByteArray("trixie:pa ss;$w'd:common-auth\n")));
        QVERIFY(write(dir.filePath(QStringLiteral("services/common-auth")),
                      "auth required " + modules + "pam_chatty.so num_lines=2 info\nauth required " + matrix +
                          "account required " + matrix));

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_PRELOAD"), wrapperLibrary());
        environment.insert(QStringLiteral("PAM_WRAPPER"), QStringLiteral("1"));
#ifdef __SANITIZE_ADDRESS__
        // The address sanitizer refuses a library preloaded before it, and
        // libraries opened with RTLD_DEEPBIND (the variable's name differs by
        // pam_wrapper version).
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           QStringLiteral("verify_asan_link_order=0:detect_leaks=0"));
        environment.insert(QStringLiteral("PAM_WRAPPER_DISABLE_DEEPBIND"), QStringLiteral("1"));
        environment.insert(QStringLiteral("UID_WRAPPER_DISABLE_DEEPBIND"), QStringLiteral("1"));
#endif
        environment.insert(QStringLiteral("PAM_WRAPPER_SERVICE_DIR"),
                           dir.filePath(QStringLiteral("services")));
        environment.insert(QStringLiteral("TSM_PAM_CHILD"), QStringLiteral("1"));
        environment.insert(QStringLiteral("TSM_PAM_USER"), user);
        environment.remove(QStringLiteral("SUDO_USER"));
        environment.remove(QStringLiteral("SUDO_UID"));
        environment.insert(QStringLiteral("TSM_PAM_PASSWORD"), password);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("authenticateInChild")});
        QVERIFY(child.waitForFinished(30000));
        const QByteArray output = child.readAllStandardOutput();
        QVERIFY2(output.contains("RESULT=" + QByteArray::number(result)), output.constData());
    }

    // Runs inside the child above, where pam_wrapper is preloaded.
    void authenticateInChild() {
        if (qEnvironmentVariableIsEmpty("TSM_PAM_CHILD"))
            QSKIP("only runs as the child of wrappedStack");
        const QString user = qEnvironmentVariable("TSM_PAM_USER");
        const int result = authenticateUser((user.isEmpty() ? invokingUserName() : user).toStdString(),
                                            qEnvironmentVariable("TSM_PAM_PASSWORD").toStdString());
        std::printf("RESULT=%d\n", result);
        std::fflush(stdout);
    }

    void invokingUserNeedsMatchingUid() {
        qputenv("SUDO_USER", "root");
        qputenv("SUDO_UID", "0");
        QCOMPARE(invokingUserName(), QStringLiteral("root"));
        qputenv("SUDO_UID", "1000");
        QCOMPARE(invokingUserName(), QString());
        qunsetenv("SUDO_UID");
        QCOMPARE(invokingUserName(), QString());
        // No SUDO_USER: a root login, and the account of the process's own uid.
        const QString own = QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
        qunsetenv("SUDO_USER");
        QCOMPARE(invokingUserName(), own);
        qputenv("SUDO_UID", "1000");
        QCOMPARE(invokingUserName(), own);
        qunsetenv("SUDO_UID");
        // No name at all: authentication fails closed, and says why.
        QString reason;
        QCOMPARE(authenticateUser(std::string(), "x", &reason), int(AuthFailed));
        QVERIFY(!reason.isEmpty());
    }

    // A password field no password matches is told apart from one that may.
    void lockedPasswords() {
        const QString shadow = QStringLiteral("root:*:19500:0:99999:7:::\n"
                                              "alice:$y$j9T$abc$def:19500:0:99999:7:::\n"
                                              "bob:!$y$j9T$abc$def:19500:0:99999:7:::\n"
                                              "carol:!:19500::::::\nroots:$y$x:1::::::\n");
        QCOMPARE(passwordStateFrom(shadow, QStringLiteral("root")), PasswordState::Locked);
        QCOMPARE(passwordStateFrom(shadow, QStringLiteral("alice")), PasswordState::Usable);
        QCOMPARE(passwordStateFrom(shadow, QStringLiteral("bob")), PasswordState::Locked);
        QCOMPARE(passwordStateFrom(shadow, QStringLiteral("carol")), PasswordState::Locked);
        QCOMPARE(passwordStateFrom(shadow, QStringLiteral("dave")), PasswordState::Unknown);
    }
};

QTEST_GUILESS_MAIN(TestPamAuth)
#include "tst_pamauth.moc"
