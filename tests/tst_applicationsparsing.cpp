#include "dialognewtask.h"
#include "testsupport.h"
#include "windowlistparser.h"
#include "windowproperties.h"

#include <QTemporaryDir>
#include <QtTest>

#include <vector>

namespace {

// A _NET_WM_ICON value: per image width, height and width x height pixels
// of one colour; extra values are appended raw.
std::vector<quint32> iconProperty(const QList<QSize>& sizes, const std::vector<quint32>& extra = {}) {
    std::vector<quint32> values;
    for (const QSize& size : sizes) {
        values.push_back(quint32(size.width()));
        values.push_back(quint32(size.height()));
        values.insert(values.end(), size_t(size.width() * size.height()),
                      0x80FF0000u + quint32(size.width()));
    }
    values.insert(values.end(), extra.begin(), extra.end());
    return values;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<quint32>)

class TestApplicationsParsing : public QObject {
    Q_OBJECT
private slots:
    void windowListFromCapturedOutput() {
        QFile file(TestSupport::testDataPath("applications/wmctrl-l.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<WindowListParser::Entry> entries = WindowListParser::parse(file.readAll());
        QStringList rows;
        for (const WindowListParser::Entry& entry : entries)
            rows << QString("%1|%2|%3").arg(entry.id).arg(entry.desktop).arg(entry.title);
        // Runs of blanks in a title come out as one; the forged line of the
        // "Evil" window has a well-formed id, which only the X server's
        // client list can refuse (see tst_applicationstab).
        QCOMPARE(rows,
                 (QStringList{"0x00400030|0|Editor two blanks", "0x00600030|0|Evil", "0x00000bad|0|Forged",
                              "0x00800030|0|leading", QString::fromUtf8("0x00c00004|1|Terminal — ünïcode")}));
    }

    void windowNumbers_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<quint32>("number");
        QTest::newRow("prefixed") << "0x00400030" << quint32(0x00400030);
        QTest::newRow("largest") << "0xffffffff" << quint32(0xffffffff);
        QTest::newRow("too large") << "0x100000000" << quint32(0);
        QTest::newRow("not hexadecimal") << "0xZZ" << quint32(0);
    }
    void windowNumbers() {
        QFETCH(QString, id);
        QFETCH(quint32, number);
        QCOMPARE(WindowListParser::windowNumber(id), number);
    }

    void iconImages_data() {
        QTest::addColumn<QList<QSize>>("sizes");
        QTest::addColumn<std::vector<quint32>>("extra");
        QTest::addColumn<int>("imageCount");
        QTest::addColumn<QSize>("chosen");
        const std::vector<quint32> none;
        QTest::newRow("first at least 32 wins")
            << QList<QSize>{{16, 16}, {32, 32}, {48, 48}} << none << 3 << QSize(32, 32);
        QTest::newRow("all small: the last")
            << QList<QSize>{{16, 16}, {24, 24}} << none << 2 << QSize(24, 24);
        QTest::newRow("wide but low is small")
            << QList<QSize>{{64, 16}, {20, 20}} << none << 2 << QSize(20, 20);
        QTest::newRow("zero width stops")
            << QList<QSize>{{48, 48}} << std::vector<quint32>{0, 16} << 1 << QSize(48, 48);
        QTest::newRow("1025 wide stops")
            << QList<QSize>{{48, 48}} << std::vector<quint32>{1025, 1} << 1 << QSize(48, 48);
        QTest::newRow("1025 high stops")
            << QList<QSize>{{48, 48}} << std::vector<quint32>{1, 1025} << 1 << QSize(48, 48);
        QTest::newRow("pixels past the end")
            << QList<QSize>{{48, 48}} << std::vector<quint32>{4, 4, 1, 2, 3} << 1 << QSize(48, 48);
        // width x height overflows 32 bits; read as 32-bit it would look small.
        QTest::newRow("overflowing size")
            << QList<QSize>{} << std::vector<quint32>{0xFFFFFFFF, 0xFFFFFFFF, 1} << 0 << QSize(0, 0);
        QTest::newRow("largest announced, no data")
            << QList<QSize>{} << std::vector<quint32>{1024, 1024, 7} << 0 << QSize(0, 0);
        QTest::newRow("lone trailing value")
            << QList<QSize>{{16, 16}} << std::vector<quint32>{5} << 1 << QSize(16, 16);
        QTest::newRow("empty") << QList<QSize>{} << none << 0 << QSize(0, 0);
    }
    void iconImages() {
        QFETCH(QList<QSize>, sizes);
        QFETCH(std::vector<quint32>, extra);
        QFETCH(int, imageCount);
        QFETCH(QSize, chosen);
        const std::vector<quint32> values = iconProperty(sizes, extra);
        const QVector<QImage> images =
            WindowProperties::parseNetWmIcon(values.data(), qsizetype(values.size()));
        QCOMPARE(images.size(), imageCount);
        const QImage image = WindowProperties::chooseIcon(images);
        QCOMPARE(image.size(), chosen);
        if (!image.isNull())
            QCOMPARE(image.pixel(image.width() - 1, image.height() - 1),
                     0x80FF0000u + quint32(image.width()));
    }

    void iconPixelsKeepTheirRows() {
        // 2 x 2: top row red, green; bottom row blue, transparent white.
        const std::vector<quint32> values{2, 2, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x00FFFFFF};
        const QImage image = WindowProperties::parseNetWmIcon(values.data(), 6).value(0);
        QCOMPARE(image.format(), QImage::Format_ARGB32);
        QCOMPARE(image.pixel(1, 0), 0xFF00FF00u);
        QCOMPARE(image.pixel(0, 1), 0xFF0000FFu);
        QCOMPARE(image.pixel(1, 1), 0x00FFFFFFu);
    }

    void classAndProgramNames_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("instance");
        QTest::addColumn<QString>("program");
        QTest::newRow("two fields") << QByteArray("xmessage\0Xmessage\0", 18) << "xmessage"
                                    << "xmessage";
        QTest::newRow("full path with arguments")
            << QByteArray("/usr/lib/firefox/firefox\0-new-window\0", 37) << "/usr/lib/firefox/firefox"
            << "firefox";
        QTest::newRow("no terminator") << QByteArray("kate") << "kate"
                                       << "kate";
        QTest::newRow("empty") << QByteArray() << ""
                               << "";
    }
    void classAndProgramNames() {
        QFETCH(QByteArray, data);
        QFETCH(QString, instance);
        QFETCH(QString, program);
        QCOMPARE(WindowProperties::instanceName(data), instance);
        QCOMPARE(WindowProperties::programName(data), program);
    }

    void newTaskKinds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expanded");
        QTest::addColumn<int>("kind");
        const QString home = QDir::homePath();
        const int url = int(DialogNewTask::Kind::Url), file = int(DialogNewTask::Kind::File),
                  command = int(DialogNewTask::Kind::Command);
        QTest::newRow("web address") << " https://example.org/a b "
                                     << "https://example.org/a b" << url;
        QTest::newRow("mail address") << "mailto:someone@example.org"
                                      << "mailto:someone@example.org" << url;
        QTest::newRow("home folder") << "~" << home << file;
        QTest::newRow("every tilde") << "~/x~y" << home + "/x" + home + "y" << command;
        QTest::newRow("tilde not first") << "ls ~"
                                         << "ls ~" << command;
        QTest::newRow("executable is a document") << "/bin/sh"
                                                  << "/bin/sh" << file;
        QTest::newRow("pipeline is a command") << "ls -l | wc"
                                               << "ls -l | wc" << command;
        QTest::newRow("empty") << "   "
                               << "" << command;
    }
    void newTaskKinds() {
        QFETCH(QString, text);
        QFETCH(QString, expanded);
        QFETCH(int, kind);
        QCOMPARE(DialogNewTask::expandText(text), expanded);
        QCOMPARE(int(DialogNewTask::kindOf(expanded)), kind);
    }

    void schemeWinsOverAnExistingFile() {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        QDir(dir.path()).mkpath("http:");
        QCOMPARE(DialogNewTask::kindOf("http://x"), DialogNewTask::Kind::Url);
    }
};

QTEST_MAIN(TestApplicationsParsing)
#include "tst_applicationsparsing.moc"
