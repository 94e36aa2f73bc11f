#include "systempaths.h"
#include "windowiconresolver.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

class TestWindowIcons : public QObject {
    Q_OBJECT
private:
    QTemporaryDir root;
    std::unique_ptr<WindowIconResolver> resolver;

    QString at(const QString& relative) const { return root.path() + "/" + relative; }
    void write(const QString& relative, const QByteArray& content) {
        QDir().mkpath(QFileInfo(at(relative)).path());
        QFile file(at(relative));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    void image(const QString& relative, QRgb colour) {
        QDir().mkpath(QFileInfo(at(relative)).path());
        QImage picture(32, 32, QImage::Format_ARGB32);
        picture.fill(colour);
        QVERIFY(picture.save(at(relative)));
    }
    // "theme:<name>", "file:<rgb>" or "null".
    static QString describe(const QIcon& icon) {
        if (icon.isNull())
            return "null";
        if (!icon.name().isEmpty())
            return "theme:" + icon.name();
        return "file:" + QString::number(icon.pixmap(32).toImage().pixel(8, 8) & 0xFFFFFF, 16);
    }

private slots:
    void initTestCase() {
        write("icons/t/index.theme", "[Icon Theme]\nName=t\nDirectories=apps\n[apps]\nSize=32\nType=Fixed\n");
        for (const char* name : {"themed-program", "themed-entry", "lowerclass", "application-x-executable"})
            image(QString("icons/t/apps/%1.png").arg(name), qRgb(1, 2, 3));
        QIcon::setThemeSearchPaths({at("icons")});
        QIcon::setThemeName("t");
        image("pixmaps/bash-pixmap.png", 0xFF112233);
        image("outside/evil.png", 0xFF660000);
        image("sysicons/inner.png", 0xFF004400);
        QVERIFY(QFile::link(at("outside/evil.png"), at("sysicons/link.png")));
        const QList<QPair<QString, QString>> entries{
            {"apps1/editor", "Exec=/opt/editor/bin/fancyeditor %F\nIcon=themed-entry"},
            {"apps1/iconfirst", "Icon=themed-entry\nExec=iconfirstprog"},
            {"apps1/bash", "Exec=/bin/bash -l\nIcon=bash-pixmap"},
            {"apps2/escape", "Exec=escaper\nIcon=../../outside/evil"},
            {"apps2/outer", "Exec=absouter\nIcon=" + at("outside/evil.png")},
            {"apps2/inner", "Exec=absinner\nIcon=" + at("sysicons/inner.png")},
            {"apps2/linked", "Exec=abslinked\nIcon=" + at("sysicons/link.png")},
            {"apps3/classy", "Exec=classyapp\nIcon=missing-in-theme"}};
        for (const auto& [name, lines] : entries)
            write(name + ".desktop", "[Desktop Entry]\n" + lines.toUtf8() + "\n");
        resolver = std::make_unique<WindowIconResolver>(
            WindowIconResolver::Folders{{at("apps1"), at("apps2")},
                                        {at("apps1"), at("apps3")},
                                        at("pixmaps"),
                                        {at("sysicons"), at("pixmaps")}});
        resolver->refresh();
    }

    void icons_data() {
        QTest::addColumn<bool>("byClass");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("icon");
        const auto row = [](const char* name, bool byClass, const char* key, const char* icon) {
            QTest::newRow(name) << byClass << QString(key) << QString(icon);
        };
        const char* generic = "theme:application-x-executable";
        row("program in the theme", false, "themed-program", "theme:themed-program");
        row("entry's program word", false, "fancyeditor", "theme:themed-entry");
        row("Icon= before Exec=", false, "iconfirstprog", "null");
        row("sh within bash, pixmap .png", false, "sh", "file:112233");
        row("relative path out", false, "escaper", "null");
        row("absolute path outside", false, "absouter", "null");
        row("absolute path inside", false, "absinner", "file:4400");
        row("link leading outside", false, "abslinked", "null");
        row("class in lower case", true, "LowerClass", "theme:lowerclass");
        row("first class match decides", true, "classyapp", "null");
        row("class: Icon= before Exec=", true, "iconfirstprog", generic);
        row("empty class", true, "", generic);
        row("class with a path", true, "../../outside/evil", generic);
    }
    void icons() {
        QFETCH(bool, byClass);
        QFETCH(QString, key);
        QFETCH(QString, icon);
        QCOMPARE(
            describe(byClass ? resolver->getIconFromWmClass(key) : resolver->getIconFromDesktopFile(key)),
            icon);
    }

    void chainReadsTheOwnersCommandLine() {
        SystemPaths::setRootPrefix(root.path());
        write("proc/4242/cmdline", QByteArray("/opt/editor/bin/fancyeditor\0--new-window\0", 42));
        QCOMPARE(describe(resolver->iconFor(4242, "LowerClass")), QString("theme:themed-entry"));
        QCOMPARE(describe(resolver->iconFor(4243, "LowerClass")), QString("theme:lowerclass"));
        SystemPaths::setRootPrefix(QString());
    }
};

QTEST_MAIN(TestWindowIcons)
#include "tst_windowicons.moc"
