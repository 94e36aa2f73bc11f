#include "testsupport.h"
#include "windowlistparser.h"
#include "windowproperties.h"

#include <QtTest>

#include <vector>

Q_DECLARE_METATYPE(std::vector<quint32>)

class TestApplicationsParsing : public QObject {
    Q_OBJECT
private slots:
    void windowListFromCapturedOutput() {
        QFile file(TestSupport::testDataPath("applications/wmctrl-l.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList rows;
        for (const WindowListParser::Entry& entry : WindowListParser::parse(file.readAll()))
            rows << QString("%1|%2|%3").arg(entry.id).arg(entry.desktop).arg(entry.title);
        // Runs of blanks come out as one. The "Evil" window's title forged a
        // well-formed line; only the X server's client list refuses it.
        QCOMPARE(rows,
                 (QStringList{"0x00400030|0|Editor two blanks", "0x00600030|0|Evil", "0x00000bad|0|Forged",
                              "0x00800030|0|leading", QString::fromUtf8("0x00c00004|1|Terminal — ünïcode")}));
    }

    void iconImages_data() {
        QTest::addColumn<QList<QSize>>("sizes");
        QTest::addColumn<std::vector<quint32>>("extra");
        QTest::addColumn<int>("imageCount");
        QTest::addColumn<QSize>("chosen");
        const std::vector<quint32> none;
        const QList<QSize> big{{48, 48}};
        QTest::newRow("first at least 32")
            << QList<QSize>{{16, 16}, {32, 32}, {48, 48}} << none << 3 << QSize(32, 32);
        QTest::newRow("all small: the last")
            << QList<QSize>{{16, 16}, {24, 24}} << none << 2 << QSize(24, 24);
        QTest::newRow("wide but low") << QList<QSize>{{64, 16}, {20, 20}} << none << 2 << QSize(20, 20);
        QTest::newRow("zero width") << big << std::vector<quint32>{0, 16} << 1 << QSize(48, 48);
        QTest::newRow("1025 wide") << big << std::vector<quint32>{1025, 1} << 1 << QSize(48, 48);
        QTest::newRow("1025 high") << big << std::vector<quint32>{1, 1025} << 1 << QSize(48, 48);
        QTest::newRow("pixels past the end")
            << big << std::vector<quint32>{4, 4, 1, 2, 3} << 1 << QSize(48, 48);
        // In 32 bits the product would wrap round to 1.
        QTest::newRow("overflowing size")
            << QList<QSize>{} << std::vector<quint32>{0xFFFFFFFF, 0xFFFFFFFF, 1} << 0 << QSize(0, 0);
        QTest::newRow("lone trailing value")
            << QList<QSize>{{16, 16}} << std::vector<quint32>{5} << 1 << QSize(16, 16);
    }
    void iconImages() {
        QFETCH(QList<QSize>, sizes);
        QFETCH(std::vector<quint32>, extra);
        QFETCH(int, imageCount);
        QFETCH(QSize, chosen);
        // Each pixel holds its own index, to check that rows land in place.
        std::vector<quint32> values;
        for (const QSize& size : sizes) {
            values.insert(values.end(), {quint32(size.width()), quint32(size.height())});
            for (int i = 0; i < size.width() * size.height(); ++i)
                values.push_back(0x80000000u + quint32(i));
        }
        values.insert(values.end(), extra.begin(), extra.end());
        const QVector<QImage> images =
            WindowProperties::parseNetWmIcon(values.data(), qsizetype(values.size()));
        QCOMPARE(images.size(), imageCount);
        const QImage image = WindowProperties::chooseIcon(images);
        QCOMPARE(image.size(), chosen);
        if (!image.isNull()) {
            QCOMPARE(image.format(), QImage::Format_ARGB32);
            QCOMPARE(image.pixel(3, 1), 0x80000000u + quint32(image.width() + 3));
        }
    }

    void classAndProgramNames() {
        const QByteArray wmClass("xmessage\0Xmessage\0", 18);
        QCOMPARE(WindowProperties::instanceName(wmClass), QString("xmessage"));
        QCOMPARE(WindowProperties::instanceName(QByteArray()), QString());
        const QByteArray cmdline("/usr/lib/firefox/firefox\0-new-window\0", 37);
        QCOMPARE(WindowProperties::programName(cmdline), QString("firefox"));
        QCOMPARE(WindowProperties::programName("kate"), QString("kate"));
    }
};

QTEST_MAIN(TestApplicationsParsing)
#include "tst_applicationsparsing.moc"
