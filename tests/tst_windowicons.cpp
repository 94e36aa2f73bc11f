#include "systempaths.h"
#include "windowiconresolver.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void writeImage(const QString& path, QRgb colour) {
    QDir().mkpath(QFileInfo(path).path());
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(colour);
    QVERIFY(image.save(path));
}

// "theme:<name>", "file:<rgb hex>" or "null", for comparing icons.
QString describe(const QIcon& icon) {
    if (icon.isNull())
        return "null";
    if (!icon.name().isEmpty())
        return "theme:" + icon.name();
    return "file:" + QString::number(icon.pixmap(32).toImage().pixel(8, 8) & 0xFFFFFF, 16);
}

} // namespace

class TestWindowIcons : public QObject {
    Q_OBJECT
private:
    QTemporaryDir root;
    std::unique_ptr<WindowIconResolver> resolver;

    QString at(const QString& relative) const { return root.path() + "/" + relative; }

private slots:
    void initTestCase() {
        QVERIFY(root.isValid());
        writeFile(
            at("icons/testtheme/index.theme"),
            "[Icon Theme]\nName=testtheme\nDirectories=32x32/apps\n\n[32x32/apps]\nSize=32\nType=Fixed\n");
        for (const char* name : {"themed-program", "themed-entry", "lowerclass", "application-x-executable"})
            writeImage(at(QString("icons/testtheme/32x32/apps/%1.png").arg(name)), qRgb(1, 2, 3));
        QIcon::setThemeSearchPaths({at("icons")});
        QIcon::setThemeName("testtheme");

        writeFile(at("apps1/editor.desktop"),
                  "[Desktop Entry]\nName=Editor\nExec=/opt/editor/bin/fancyeditor %F\nIcon=themed-entry\n");
        writeFile(at("apps1/iconfirst.desktop"), "[Desktop Entry]\nIcon=themed-entry\nExec=iconfirstprog\n");
        writeFile(at("apps1/bash.desktop"), "[Desktop Entry]\nExec=/bin/bash -l\nIcon=bash-pixmap\n");
        writeImage(at("pixmaps/bash-pixmap.png"), qRgb(0x11, 0x22, 0x33));
        writeFile(at("apps2/escape.desktop"), "[Desktop Entry]\nExec=escaper\nIcon=../../outside/evil\n");
        writeImage(at("outside/evil.png"), qRgb(0x66, 0, 0));
        writeFile(at("apps2/absolute.desktop"),
                  "[Desktop Entry]\nExec=absouter\nIcon=" + at("outside/evil.png").toUtf8() + "\n");
        writeImage(at("sysicons/inner.png"), qRgb(0, 0x44, 0));
        writeFile(at("apps2/inner.desktop"),
                  "[Desktop Entry]\nExec=absinner\nIcon=" + at("sysicons/inner.png").toUtf8() + "\n");
        writeFile(at("apps2/symlinked.desktop"),
                  "[Desktop Entry]\nExec=abslinked\nIcon=" + at("sysicons/link.png").toUtf8() + "\n");
        QVERIFY(QFile::link(at("outside/evil.png"), at("sysicons/link.png")));
        writeFile(at("apps3/classy.desktop"), "[Desktop Entry]\nExec=classyapp\nIcon=missing-in-theme\n");

        WindowIconResolver::Folders folders;
        folders.programEntries = QStringList{at("apps1"), at("apps2")};
        folders.classEntries = QStringList{at("apps1"), at("apps3")};
        folders.pixmaps = at("pixmaps");
        folders.iconFiles = QStringList{at("sysicons"), at("pixmaps")};
        resolver = std::make_unique<WindowIconResolver>(folders);
        resolver->refresh();
    }

    void cleanupTestCase() { SystemPaths::setRootPrefix(QString()); }

    void byProgramName_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("icon");
        QTest::newRow("theme has the name") << "themed-program"
                                            << "theme:themed-program";
        QTest::newRow("entry's program word") << "fancyeditor"
                                              << "theme:themed-entry";
        QTest::newRow("Icon= before Exec= is not used") << "iconfirstprog"
                                                        << "null";
        QTest::newRow("part of a longer name, pixmap .png") << "sh"
                                                            << "file:112233";
        QTest::newRow("relative path out of the folders") << "escaper"
                                                          << "null";
        QTest::newRow("absolute path outside icon folders") << "absouter"
                                                            << "null";
        QTest::newRow("absolute path inside icon folders") << "absinner"
                                                           << "file:4400";
        QTest::newRow("link out of icon folders") << "abslinked"
                                                  << "null";
        QTest::newRow("name climbing out of the theme") << "../icons"
                                                        << "null";
        QTest::newRow("nothing matches") << "unknownprog"
                                         << "null";
    }
    void byProgramName() {
        QFETCH(QString, program);
        QFETCH(QString, icon);
        QCOMPARE(describe(resolver->getIconFromDesktopFile(program)), icon);
    }

    void byWindowClass_data() {
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<QString>("icon");
        QTest::newRow("theme has it in lower case") << "LowerClass"
                                                    << "theme:lowerclass";
        QTest::newRow("first match decides, even unthemed") << "classyapp"
                                                            << "null";
        QTest::newRow("Icon= before Exec= is not used") << "iconfirstprog"
                                                        << "theme:application-x-executable";
        QTest::newRow("empty class matches nothing") << ""
                                                     << "theme:application-x-executable";
        QTest::newRow("class with a path") << "../../outside/evil"
                                           << "theme:application-x-executable";
        QTest::newRow("hidden name") << ".hidden"
                                     << "theme:application-x-executable";
        QTest::newRow("nothing matches") << "nomatch"
                                         << "theme:application-x-executable";
    }
    void byWindowClass() {
        QFETCH(QString, windowClass);
        QFETCH(QString, icon);
        QCOMPARE(describe(resolver->getIconFromWmClass(windowClass)), icon);
    }

    void chainReadsTheOwnersCommandLine() {
        SystemPaths::setRootPrefix(root.path());
        writeFile(at("proc/4242/cmdline"), QByteArray("/opt/editor/bin/fancyeditor\0--new-window\0", 42));
        QCOMPARE(WindowIconResolver::getProcessCommand(4242), QString("fancyeditor"));
        QCOMPARE(WindowIconResolver::getProcessCommand(4243), QString());
        QCOMPARE(WindowIconResolver::getProcessCommand(0), QString());
        QCOMPARE(describe(resolver->iconFor(4242, "LowerClass")), QString("theme:themed-entry"));
        // No owner known: straight to the class.
        QCOMPARE(describe(resolver->iconFor(0, "LowerClass")), QString("theme:lowerclass"));
    }

    void newEntriesArePickedUp() {
        QCOMPARE(describe(resolver->getIconFromDesktopFile("latecomer")), QString("null"));
        writeFile(at("apps2/late.desktop"), "[Desktop Entry]\nExec=latecomer\nIcon=themed-entry\n");
        resolver->refresh();
        QCOMPARE(describe(resolver->getIconFromDesktopFile("latecomer")), QString("theme:themed-entry"));
    }
};

QTEST_MAIN(TestWindowIcons)
#include "tst_windowicons.moc"
