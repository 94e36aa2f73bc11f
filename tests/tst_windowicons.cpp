#include "systempaths.h"
#include "windowiconcache.h"
#include "windowiconresolver.h"
#include "windowproperties.h"
#include "x11windowicons.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

Q_DECLARE_METATYPE(std::vector<quint32>)

// A window's icon: its own _NET_WM_ICON data, else the owner's desktop
// entry, else its class, all on fixture folders.
class TestWindowIcons : public QObject {
    Q_OBJECT
private:
    QTemporaryDir root;
    std::unique_ptr<WindowIconResolver> resolver;
    WindowIconCache icons;

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
        for (const char* name : {"themed-entry", "lowerclass", "application-x-executable"})
            image(QString("icons/t/apps/%1.png").arg(name), qRgb(1, 2, 3));
        QIcon::setThemeSearchPaths({at("icons")});
        QIcon::setThemeName("t");
        image("pixmaps/bash-pixmap.png", 0xFF112233);
        image("outside/evil.png", 0xFF660000);
        image("sysicons/inner.png", 0xFF004400);
        QVERIFY(QFile::link(at("outside/evil.png"), at("sysicons/link.png")));
        const QList<QPair<QString, QString>> entries{
            {"apps1/editor", "Exec=/opt/editor/bin/fancyeditor %F\nIcon=themed-entry"},
            {"apps1/bash", "Exec=/bin/bash -l\nIcon=bash-pixmap"},
            {"apps2/escape", "Exec=escaper\nIcon=../../outside/evil"},
            {"apps2/outer", "Exec=absouter\nIcon=" + at("outside/evil.png")},
            {"apps2/inner", "Exec=absinner\nIcon=" + at("sysicons/inner.png")},
            {"apps2/linked", "Exec=abslinked\nIcon=" + at("sysicons/link.png")},
            {"apps1/classmissing", "Exec=classmissing\nIcon=not-in-theme"},
            {"apps1/classouter", "Exec=classouter\nIcon=" + at("outside/evil.png")}};
        for (const auto& [name, lines] : entries)
            write(name + ".desktop", "[Desktop Entry]\n" + lines.toUtf8() + "\n");
        resolver = std::make_unique<WindowIconResolver>(WindowIconResolver::Folders{
            {at("apps1"), at("apps2")}, {at("apps1")}, at("pixmaps"), {at("sysicons"), at("pixmaps")}});
        resolver->refresh();
    }

    // Property data of images of the given sizes, then extra values, walked
    // as the X server hands it out: two values at each header.
    void netWmIcon_data() {
        QTest::addColumn<QList<QSize>>("sizes");
        QTest::addColumn<std::vector<quint32>>("extra");
        QTest::addColumn<int>("imageCount");
        QTest::addColumn<QSize>("chosen");
        QTest::addColumn<QSize>("shown");
        const auto row = [](const char* name, QList<QSize> sizes, std::vector<quint32> extra, QSize chosen,
                            QSize shown = QSize()) {
            QTest::newRow(name) << sizes << extra << int(sizes.size()) << chosen
                                << (shown.isValid() ? shown : chosen);
        };
        const QList<QSize> big{{48, 48}};
        row("at least 32", {{16, 16}, {32, 32}, {48, 48}}, {}, {32, 32});
        row("smallest at least 32, not the first", {{64, 64}, {48, 48}, {32, 32}, {16, 16}}, {}, {32, 32});
        row("none at least 32: the largest", {{24, 24}, {16, 16}}, {}, {24, 24});
        row("larger ones scaled to the row", {{256, 128}}, {}, {256, 128}, {32, 16});
        row("zero width", big, {0, 16}, {48, 48}, {32, 32});
        row("1025 wide", big, {1025, 1}, {48, 48}, {32, 32});
        row("1025 high", big, {1, 1025}, {48, 48}, {32, 32});
        row("pixels past the end", big, {4, 4, 1, 2, 3}, {48, 48}, {32, 32});
        row("overflowing size", {}, {0xFFFFFFFF, 0xFFFFFFFF, 1}, {0, 0}); // 32-bit product: 1
        row("lone trailing value", {{16, 16}}, {5}, {16, 16});
        QList<QSize> many;
        for (int i = 0; i < X11WindowIcons::maximumImagesPerWindow; ++i)
            many << QSize(1, 1);
        QTest::newRow("images past the bound")
            << (many << QSize(32, 32)) << std::vector<quint32>() << X11WindowIcons::maximumImagesPerWindow
            << QSize(1, 1) << QSize(1, 1);
    }
    void netWmIcon() {
        QFETCH(QList<QSize>, sizes);
        QFETCH(std::vector<quint32>, extra);
        // Each pixel holds its own index, to check that rows land in place.
        std::vector<quint32> values;
        for (const QSize& size : sizes) {
            values.insert(values.end(), {quint32(size.width()), quint32(size.height())});
            for (int i = 0; i < size.width() * size.height(); ++i)
                values.push_back(0x80000000u + quint32(i));
        }
        values.insert(values.end(), extra.begin(), extra.end());
        WindowProperties::NetWmIconWalk walk(X11WindowIcons::maximumImagesPerWindow);
        while (!walk.finished()) {
            const quint64 at = walk.nextOffset();
            const qsizetype count = at < values.size() ? qsizetype(qMin<quint64>(2, values.size() - at)) : 0;
            walk.take(count ? values.data() + at : nullptr, count, values.size());
        }
        QTEST(int(walk.images().size()), "imageCount");
        const int chosen = WindowProperties::chooseIconImage(walk.images(), 32);
        if (chosen < 0) {
            QTEST(QSize(0, 0), "chosen");
            return;
        }
        const WindowProperties::IconImage image = walk.images().at(chosen);
        QTEST(QSize(image.width, image.height), "chosen");
        const quint32* pixels = values.data() + image.pixelOffset;
        const QImage icon =
            WindowProperties::iconFromPixels(pixels, qsizetype(image.pixelCount()), image, 32);
        // Every row's icon is 32 x 32: the image drawn in its middle.
        QCOMPARE(icon.size(), QSize(32, 32));
        QRect drawn;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                if (qAlpha(icon.pixel(x, y)) != 0)
                    drawn |= QRect(x, y, 1, 1);
        QTEST(drawn.size(), "shown");
        QCOMPARE(drawn.center(), QRect(0, 0, 32, 32).center());
        if (drawn.size() == QSize(image.width, image.height) && image.width > 3)
            QCOMPARE(icon.pixel(drawn.left() + 3, drawn.top() + 1), 0x80000000u + image.width + 3);
        // Fewer values than the image needs (a property rewritten meanwhile).
        QVERIFY(
            WindowProperties::iconFromPixels(pixels, qsizetype(image.pixelCount()) - 1, image, 32).isNull());
    }

    // A WM_NAME of type STRING: UTF-8 where its bytes are valid UTF-8, else Latin-1.
    void titleText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("title");
        const auto row = [](const char* name, const QByteArray& bytes, const QString& title) {
            QTest::newRow(name) << bytes << title;
        };
        row("UTF-8 in STRING", "caf\xc3\xa9", QString::fromUtf8("caf\u00e9"));
        row("four bytes in STRING", "\xf0\x9f\x98\x80!", QString::fromUcs4(U"\U0001F600!"));
        row("Latin-1 in STRING", "caf\xe9", QString::fromLatin1("caf\xe9"));
        row("overlong", "\xc0\xaf", QString::fromLatin1("\xc0\xaf"));
        row("overlong three bytes", "\xe0\x80\xaf", QString::fromLatin1("\xe0\x80\xaf"));
        row("surrogate", "\xed\xa0\x80", QString::fromLatin1("\xed\xa0\x80"));
        row("past U+10FFFF", "\xf4\x90\x80\x80", QString::fromLatin1("\xf4\x90\x80\x80"));
        row("cut short", "caf\xc3", QString::fromLatin1("caf\xc3"));
        // Qt's decoder drops the mark; the rest is still UTF-8.
        row("byte order mark",
            "\xef\xbb\xbf"
            "caf\xc3\xa9",
            QString::fromUtf8("caf\u00e9"));
    }
    void titleText() {
        QFETCH(QByteArray, bytes);
        QTEST(WindowProperties::textValue(bytes, false), "title");
    }

    void fallbacks_data() {
        QTest::addColumn<bool>("byClass");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("icon");
        const auto row = [](const char* name, bool byClass, const char* key, const char* icon) {
            QTest::newRow(name) << byClass << QString(key) << QString(icon);
        };
        const char* generic = "theme:application-x-executable";
        row("entry's program word", false, "fancyeditor", "theme:themed-entry");
        row("sh within bash, pixmap .png", false, "sh", "file:112233");
        row("relative path out", false, "escaper", "null");
        row("absolute path outside", false, "absouter", "null");
        row("absolute path inside", false, "absinner", "file:4400");
        row("link leading outside", false, "abslinked", "null");
        row("class in lower case", true, "LowerClass", "theme:lowerclass");
        row("empty class", true, "", generic);
        row("class with a path", true, "../../outside/evil", generic);
        // The first entry found by class decides, even when it gives no icon.
        row("class entry's icon not in the theme", true, "ClassMissing", "null");
        row("class entry's path outside", true, "ClassOuter", "null");
    }
    void fallbacks() {
        QFETCH(bool, byClass);
        QFETCH(QString, key);
        QTEST(describe(icons.icon(byClass ? resolver->getIconFromWmClass(key)
                                          : resolver->getIconFromDesktopFile(key))),
              "icon");
    }

    void chainReadsTheOwnersCommandLine() {
        SystemPaths::setRootPrefix(root.path());
        write("proc/4242/cmdline", QByteArray("/opt/editor/bin/fancyeditor\0--new-window\0", 42));
        QCOMPARE(describe(icons.icon(resolver->iconFor(4242, "LowerClass"))), QString("theme:themed-entry"));
        QCOMPARE(describe(icons.icon(resolver->iconFor(4243, "LowerClass"))), QString("theme:lowerclass"));
        SystemPaths::setRootPrefix(QString());
    }
};

QTEST_MAIN(TestWindowIcons)
#include "tst_windowicons.moc"
