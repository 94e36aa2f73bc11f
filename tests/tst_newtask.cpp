#include "dialognewtask.h"
#include "testsupport.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

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
    void type(const QString& text, Qt::Key key = Qt::Key_Return) {
        dialog->open();
        lineEdit()->setText(text);
        QTest::keyClick(lineEdit(), key);
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir().mkpath(home.path() + "/docs" + home.path()));
        qputenv("HOME", home.path().toUtf8());
        for (const char* scheme : {"https", "file"})
            QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    }
    void init() {
        catcher.urls.clear();
        dialog = std::make_unique<DialogNewTask>();
    }

    // Enter accepts, Escape cancels; a URL or a file goes to the desktop's handler.
    void opensUrlsAndFiles_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        QTest::addColumn<QList<QUrl>>("urls");
        const auto row = [](const char* name, const QString& text, Qt::Key key, const QList<QUrl>& urls) {
            QTest::newRow(name) << text << int(key) << urls;
        };
        row("web", "  https://example.org/page  ", Qt::Key_Return, {QUrl("https://example.org/page")});
        row("every tilde is the home folder", "~/docs~", Qt::Key_Return,
            {QUrl::fromLocalFile(home.path() + "/docs" + home.path())});
        row("executable opened, not run", "/bin/sh", Qt::Key_Return, {QUrl::fromLocalFile("/bin/sh")});
        row("empty", "   ", Qt::Key_Return, {});
        row("escape", "https://example.org/", Qt::Key_Escape, {});
    }
    void opensUrlsAndFiles() {
        QFETCH(QString, text);
        QFETCH(int, key);
        type(text, Qt::Key(key));
        QCOMPARE(dialog->result(), int(key == Qt::Key_Escape ? QDialog::Rejected : QDialog::Accepted));
        QTEST(catcher.urls, "urls");
    }

    void startsCommandsWithoutAShell() {
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", TestSupport::testDataPath("applications/bin").toUtf8() + ":" + path);
        QFile output(home.filePath("arguments"));
        qputenv("TESSMAR_OUT", output.fileName().toUtf8());
        type("tessmar-standin \"two words\" | grep $HOME > /tmp/x");
        qputenv("PATH", path);
        QVERIFY(TestSupport::waitFor([&] { return output.exists(); }));
        QVERIFY(output.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(output.readAll()).split('\n', Qt::SkipEmptyParts),
                 (QStringList{"two words", "|", "grep", "$HOME", ">", "/tmp/x"}));
    }
};

QTEST_MAIN(TestNewTask)
#include "tst_newtask.moc"
