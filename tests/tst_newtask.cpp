#include "dialognewtask.h"
#include "testsupport.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
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
        QFile notes(home.filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
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
        row("escape", "https://example.org/", Qt::Key_Escape, {});
    }
    void opensUrlsAndFiles() {
        QFETCH(QString, text);
        QFETCH(int, key);
        type(text, Qt::Key(key));
        QCOMPARE(dialog->result(), int(key == Qt::Key_Escape ? QDialog::Rejected : QDialog::Accepted));
        QTEST(catcher.urls, "urls");
    }

    // What cannot start is said, with the reason; nothing passes for started.
    void failureIsShown_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no such program") << "no-such-program --flag"
                                         << "no program of that name was found";
        QTest::newRow("missing file") << home.filePath("missing/tool") + " -x"
                                      << "no such file";
        QTest::newRow("not executable") << home.filePath("notes.txt") + " -x"
                                        << "it is not executable";
        QTest::newRow("empty") << "  "
                               << "nothing was entered";
    }
    void failureIsShown() {
        QFETCH(QString, text);
        QFETCH(QString, reason);
        type(text);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QMessageBox* message = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == "messageBoxNewTaskFailed" && widget->isVisible())
                message = qobject_cast<QMessageBox*>(widget);
        }
        QVERIFY(message);
        QVERIFY2(message->text().startsWith("Could not start") && message->text().contains(reason),
                 qPrintable(message->text()));
        message->close();
        QTRY_VERIFY(!message->isVisible());
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
