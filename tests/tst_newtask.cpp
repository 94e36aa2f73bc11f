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
        for (const char* scheme : {"https", "mailto", "file"})
            QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    }
    void init() {
        catcher.urls.clear();
        dialog = std::make_unique<DialogNewTask>();
    }

    void opensUrlsAndFiles_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QUrl>>("urls");
        const auto row = [](const char* name, const QString& text, const QList<QUrl>& urls) {
            QTest::newRow(name) << text << urls;
        };
        const QString docs = home.path() + "/docs";
        row("web", "  https://example.org/page  ", {QUrl("https://example.org/page")});
        row("mail", "mailto:a@example.org", {QUrl("mailto:a@example.org")});
        row("home folder", "~/docs", {QUrl::fromLocalFile(docs)});
        row("every tilde", "~/docs~", {QUrl::fromLocalFile(docs + home.path())});
        row("executable opened, not run", "/bin/sh", {QUrl::fromLocalFile("/bin/sh")});
        row("empty", "   ", {});
    }
    void opensUrlsAndFiles() {
        QFETCH(QString, text);
        QFETCH(QList<QUrl>, urls);
        type(text);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(catcher.urls, urls);
    }

    void startsCommandsWithoutAShell() {
        QTemporaryDir bin;
        const QString program = TestSupport::uniqueName("standin");
        QFile script(bin.filePath(program));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n{ printf '%s\\n' \"$@\"; echo \"mark=$TESSMAR_MARK\"; } > \"$0.tmp\"\n"
                     "mv \"$0.tmp\" \"$0.out\"\n");
        script.close();
        script.setPermissions(QFile::ExeOwner | QFile::ReadOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8() + ":" + path);
        qputenv("TESSMAR_MARK", "kept");
        type(program + " \"two words\" | grep $HOME > /tmp/x");
        qputenv("PATH", path);
        QFile output(script.fileName() + ".out");
        QVERIFY(TestSupport::waitFor([&] { return output.exists(); }));
        QVERIFY(output.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(output.readAll()).split('\n', Qt::SkipEmptyParts),
                 (QStringList{"two words", "|", "grep", "$HOME", ">", "/tmp/x", "mark=kept"}));
    }

    void escapeCancelsAndKeepsTheText() {
        type("https://example.org/", Qt::Key_Escape);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(catcher.urls.isEmpty());
        dialog->open();
        QCOMPARE(lineEdit()->text(), QString("https://example.org/"));
    }
};

QTEST_MAIN(TestNewTask)
#include "tst_newtask.moc"
