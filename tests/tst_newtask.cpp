#include "dialognewtask.h"
#include "testsupport.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QStringList debugMessages;
void keepDebugMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg)
        debugMessages << message;
}
} // namespace

// Stands in for the desktop's URL handlers.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class TestNewTask : public QObject {
    Q_OBJECT
private:
    QTemporaryDir home;
    UrlCatcher catcher;
    std::unique_ptr<DialogNewTask> dialog;

    QLineEdit* lineEdit() const { return dialog->findChild<QLineEdit*>("lineEditCommand"); }

    // Types text and presses OK as a user would.
    void run(const QString& text) {
        dialog->open();
        lineEdit()->setText(text);
        QTest::keyClick(lineEdit(), Qt::Key_Return);
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        QVERIFY(QDir(home.path()).mkpath("docs"));
        qputenv("HOME", home.path().toUtf8());
        for (const char* scheme : {"https", "mailto", "file"})
            QDesktopServices::setUrlHandler(scheme, &catcher, "open");
        QLoggingCategory::setFilterRules("tessmar.newtask.debug=true");
    }

    void init() {
        catcher.urls.clear();
        dialog = std::make_unique<DialogNewTask>();
    }

    void form() {
        QCOMPARE(dialog->windowTitle(), QString("New Task..."));
        QVERIFY(dialog->windowFlags() & Qt::Tool);
        QVERIFY(dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok)->isDefault());
    }

    void opensUrlsAndFiles_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QUrl>("url");
        QTest::newRow("web address") << "  https://example.org/page  " << QUrl("https://example.org/page");
        QTest::newRow("mail address") << "mailto:someone@example.org" << QUrl("mailto:someone@example.org");
        QTest::newRow("folder under home") << "~/docs" << QUrl::fromLocalFile(home.path() + "/docs");
        QTest::newRow("executable opened, not run") << "/bin/sh" << QUrl::fromLocalFile("/bin/sh");
    }
    void opensUrlsAndFiles() {
        QFETCH(QString, text);
        QFETCH(QUrl, url);
        run(text);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(catcher.urls, QList<QUrl>{url});
    }

    void startsCommandsWithoutAShell() {
        QTemporaryDir bin;
        const QString output = bin.filePath("arguments");
        const QString program = TestSupport::uniqueName("standin");
        QFile script(bin.filePath(program));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(
            "#!/bin/sh\n{ printf '%s\\n' \"$@\"; echo \"mark=$TESSMAR_NEWTASK_MARK\"; } > \"$0.tmp\"\n"
            "mv \"$0.tmp\" \"$(dirname \"$0\")/arguments\"\n");
        script.close();
        script.setPermissions(QFile::ExeOwner | QFile::ReadOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8() + ":" + path);
        qputenv("TESSMAR_NEWTASK_MARK", "kept");

        run(program + " \"two words\" | grep $HOME > /tmp/x");
        qputenv("PATH", path);
        QVERIFY(TestSupport::waitFor([&] { return QFile::exists(output); }));
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts),
                 (QStringList{"two words", "|", "grep", "$HOME", ">", "/tmp/x", "mark=kept"}));
        QVERIFY(catcher.urls.isEmpty());
    }

    void emptyTextStartsNothing() {
        debugMessages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(keepDebugMessages);
        run("   ");
        qInstallMessageHandler(previous);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(catcher.urls.isEmpty());
        QCOMPARE(debugMessages, QStringList{"Failed to start the command: \"\""});
    }

    void escapeCancelsAndKeepsTheText() {
        dialog->open();
        lineEdit()->setText("https://example.org/");
        QTest::keyClick(lineEdit(), Qt::Key_Escape);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(!dialog->isVisible());
        QVERIFY(catcher.urls.isEmpty());
        dialog->open();
        QCOMPARE(lineEdit()->text(), QString("https://example.org/"));
    }
};

QTEST_MAIN(TestNewTask)
#include "tst_newtask.moc"
