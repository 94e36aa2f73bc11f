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

    void opensUrlsAndFiles_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::newRow("web") << "  https://example.org/page  "
                             << QList<QUrl>{QUrl("https://example.org/page")};
        QTest::newRow("every tilde is the home folder")
            << "~/docs~" << QList<QUrl>{QUrl::fromLocalFile(home.path() + "/docs" + home.path())};
        QTest::newRow("executable opened, not run")
            << "/bin/sh" << QList<QUrl>{QUrl::fromLocalFile("/bin/sh")};
        QTest::newRow("empty") << "   " << QList<QUrl>{};
    }
    void opensUrlsAndFiles() {
        QFETCH(QString, text);
        type(text);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
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

    void escapeCancels() {
        type("https://example.org/", Qt::Key_Escape);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(catcher.urls.isEmpty());
    }
};

QTEST_MAIN(TestNewTask)
#include "tst_newtask.moc"
