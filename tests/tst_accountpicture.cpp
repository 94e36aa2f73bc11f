#include "accountpicture.h"
#include "commandrunner.h"
#include "picturecost.h"
#include "testpictures.h"
#include "testsupport.h"

#include <QBuffer>
#include <QImageWriter>
#include <QThreadPool>
#include <QtTest>

#include <atomic>
#include <climits>
#include <malloc.h>
#include <thread>

using AccountPicture::Verdict;
using TestPictures::jpeg;
using TestPictures::withRepeatedScan;

Q_DECLARE_METATYPE(Verdict)

namespace {
// A progressive JPEG that passes the size and memory limits, with its last
// scan repeated: each copy is one more pass over its four million pixels.
QByteArray slowJpeg(int repeats) {
    return withRepeatedScan(jpeg(QSize(2048, 2048), 1, true), repeats);
}

const AccountPicture::Limits unlimited{LLONG_MAX, INT_MAX, INT_MAX};

// A baseline JPEG whose frame header declares no rows.
QByteArray jpegOfNoHeight() {
    QByteArray bytes = jpeg(QSize(64, 48), 1, false);
    const int frame = bytes.indexOf("\xff\xc0");
    bytes[frame + 5] = 0;
    bytes[frame + 6] = 0;
    return bytes;
}

// A GIF without a screen size whose control block says it holds nothing:
// the decoder then reads the next length byte (a ',') as data and skips a
// one-pixel frame that a reader taking that byte for a frame sees, and
// sizes its image at the 3000x3000 frame after it.
QByteArray gifHidingItsFrame() {
    QByteArray bytes("GIF89a\x00\x00\x00\x00\x00\x00\x00", 13);
    bytes += QByteArray("\x21\xf9\x00", 3);
    QByteArray hidden("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;", 16);
    hidden += QByteArray(1 + 44 - hidden.size(), 'x');
    bytes += hidden + '\0';
    bytes += QByteArray("\x2c\x00\x00\x00\x00\xb8\x0b\xb8\x0b\x00\x02\x02\x44\x01\x00;", 16);
    return bytes;
}
} // namespace

// Pictures another user controls, made at test time the way a hostile user
// could: each refused before decoding for its own reason while an ordinary
// picture of the same kind is decoded, and a decode that runs on stops when
// its time is up, when its owner gives it up and when the program quits.
class TestAccountPicture : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Large blocks mapped and unmapped as they come and go, rather than
        // kept for the next: each decode's peak is its own.
        mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    }

    void limitsOfOneDecode_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Verdict>("verdict");
        QTest::newRow("progressive JPEG, a scan repeated 5000 times")
            << slowJpeg(5000) << Verdict::TooManyScans;
        QTest::newRow("progressive JPEG, usual scans")
            << jpeg(QSize(2048, 2048), 1, true) << Verdict::Decoded;
        QTest::newRow("16-bit PNG 2048x2048")
            << TestPictures::deepPng(QSize(2048, 2048)) << Verdict::TooCostly;
        QTest::newRow("16-bit PNG 1024x1024") << TestPictures::deepPng(QSize(1024, 1024)) << Verdict::Decoded;
        QTest::newRow("8-bit PNG 2048x2048") << TestPictures::png(QSize(2048, 2048)) << Verdict::Decoded;
        // A centre square of a sliver: its long side would be scaled up to 64,512 pixels.
        QTest::newRow("8-bit PNG 4096x8") << TestPictures::png(QSize(4096, 8)) << Verdict::TooCostly;
        QTest::newRow("8-bit PNG 4096x256") << TestPictures::png(QSize(4096, 256)) << Verdict::Decoded;
        QTest::newRow("8-bit PNG 4097x256") << TestPictures::png(QSize(4097, 256)) << Verdict::TooLarge;
        QTest::newRow("8-bit PNG 256x4097") << TestPictures::png(QSize(256, 4097)) << Verdict::TooLarge;
        QTest::newRow("progressive colour JPEG 4096x4096")
            << jpeg(QSize(4096, 4096), 3, true) << Verdict::TooCostly;
        QTest::newRow("baseline colour JPEG 4096x4096")
            << jpeg(QSize(4096, 4096), 3, false) << Verdict::Decoded;
        QTest::newRow("progressive CMYK JPEG 2048x2048")
            << jpeg(QSize(2048, 2048), 4, true) << Verdict::TooCostly;
        QTest::newRow("baseline CMYK JPEG 2048x2048")
            << jpeg(QSize(2048, 2048), 4, false) << Verdict::Decoded;
        QTest::newRow("JPEG frame of no height") << jpegOfNoHeight() << Verdict::Unreadable;
        // Qt's GIF reader makes the whole screen, whatever size it reports.
        using TestPictures::gif;
        QTest::newRow("GIF, 16000x16000 screen of one pixel")
            << gif(QSize(16000, 16000), QRect(0, 0, 1, 1)) << Verdict::TooLarge;
        QTest::newRow("GIF, 2048x2048 screen of one pixel")
            << gif(QSize(2048, 2048), QRect(0, 0, 1, 1)) << Verdict::Decoded;
        QTest::newRow("GIF, 2048x2048 transparent screen")
            << gif(QSize(2048, 2048), QRect(0, 0, 1, 1), true) << Verdict::TooCostly;
        QTest::newRow("GIF, 2048x2048 frame restoring what it covers")
            << gif(QSize(2048, 2048), QRect(0, 0, 2048, 2048), false, 3) << Verdict::TooCostly;
        QTest::newRow("GIF whose empty control block hides a frame")
            << gifHidingItsFrame() << Verdict::TooCostly;
        QTest::newRow("GIF without a screen size, 2000x2000 frame at 3000,3000")
            << gif(QSize(0, 0), QRect(3000, 3000, 2000, 2000)) << Verdict::TooLarge;
        // Formats converted to be scaled: a copy beside the image.
        using TestPictures::flatPng;
        QTest::newRow("16-bit PNG 1448x1448")
            << TestPictures::deepPng(QSize(1448, 1448)) << Verdict::TooCostly;
        QTest::newRow("grey PNG 2048x2048") << flatPng(QSize(2048, 2048), 0, 8, false) << Verdict::TooCostly;
        QTest::newRow("palette PNG 1800x1800") << flatPng(QSize(1800, 1800), 3, 4, false) << Verdict::Decoded;
        QTest::newRow("interlaced PNG with alpha 2048x2048")
            << flatPng(QSize(2048, 2048), 6, 8, true) << Verdict::TooCostly;
        QTest::newRow("interlaced PNG 2048x2048")
            << flatPng(QSize(2048, 2048), 2, 8, true) << Verdict::Decoded;
        QTest::newRow("BMP with alpha 2048x2048")
            << TestPictures::bmp(QSize(2048, 2048), 32) << Verdict::TooCostly;
        QTest::newRow("palette BMP 2048x2048")
            << TestPictures::bmp(QSize(2048, 2048), 8) << Verdict::TooCostly;
        QTest::newRow("BMP stored top down 2048x2048")
            << TestPictures::bmp(QSize(2048, 2048), 24, true) << Verdict::Decoded;
        // Metadata the readers would keep whole, never handed to them.
        QTest::newRow("PNG with 20 MB of compressed text")
            << flatPng(QSize(64, 64), 2, 8, false, TestPictures::compressedTexts(20, 1 << 20))
            << Verdict::Decoded;
        QTest::newRow("JPEG with 8 MB of comments")
            << TestPictures::withComments(jpeg(QSize(64, 64), 3, false), 8 << 20) << Verdict::Decoded;
    }
    // Each picture passes or not as the header says, and whatever the
    // verdict, its decode holds no more than the budget (with room for the
    // readers' own small buffers, and the sanitizers' shadow memory).
    void limitsOfOneDecode() {
        QFETCH(QByteArray, bytes);
        QFETCH(Verdict, verdict);
        TestSupport::resetPeakMemory();
        const qint64 before = TestSupport::peakMemory();
        const AccountPicture::Decoded decoded =
            AccountPicture::decodePicture(bytes, AccountPicture::Crop::CentreSquare, QSize(126, 126));
        const qint64 grown = TestSupport::peakMemory() - before;
        qInfo("Peak memory grew by %lld kB", grown / 1024);
        QVERIFY2(grown <= AccountPicture::maxDecodingBytes * 5 / 4,
                 qPrintable(QStringLiteral("peak grew by %1 kB").arg(grown / 1024)));
        QCOMPARE(int(decoded.verdict), int(verdict));
        QCOMPARE(decoded.image.isNull(), verdict != Verdict::Decoded);
        if (verdict == Verdict::Decoded)
            QCOMPARE(decoded.image.size(), QSize(126, 126));
    }

    // The centre square of a wide picture, whether the decoder reduces it
    // (JPEG) or the whole picture is scaled (PNG): left and right thirds gone.
    void centreSquareOfAWidePicture() {
        QImage wide(1200, 400, QImage::Format_RGB32);
        wide.fill(Qt::red);
        for (int y = 0; y < 400; ++y)
            for (int x = 400; x < 800; ++x)
                wide.setPixelColor(x, y, Qt::green);
        for (const char* format : {"PNG", "JPEG"}) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QVERIFY(wide.save(&buffer, format, 95));
            const QImage square =
                AccountPicture::decode(bytes, AccountPicture::Crop::CentreSquare, QSize(126, 126));
            QCOMPARE(square.size(), QSize(126, 126));
            for (const QPoint& at : {QPoint(2, 2), QPoint(63, 63), QPoint(123, 123)}) {
                const QColor colour = square.pixelColor(at);
                QVERIFY2(colour.green() > 200 && colour.red() < 60, format);
            }
        }
    }

    // Scans are counted by walking the markers, not by looking for their
    // bytes: a comment holding them counts nothing, coded data is skipped.
    void scansCountedFromMarkers() {
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(QColor(10, 120, 200));
        QByteArray progressive;
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        QVERIFY(writer.write(picture));
        const std::optional<PictureCost::JpegLayout> written = PictureCost::jpegLayout(progressive);
        QVERIFY(written);
        QCOMPARE(written->size, QSize(640, 480));
        QVERIFY(written->progressive);
        QCOMPARE(written->scans, 10);
        QCOMPARE(written->components.size(), 3);
        QCOMPARE(written->components.first().horizontal, 2);
        QCOMPARE(written->components.last().vertical, 1);

        QByteArray commented = progressive;
        commented.insert(2, QByteArray("\xff\xfe\x00\x0a\xff\xda\xff\xda\xff\xda", 10));
        QCOMPARE(PictureCost::jpegLayout(commented)->scans, 10);
        QCOMPARE(PictureCost::jpegLayout(withRepeatedScan(progressive, 7))->scans, 17);
        const std::optional<PictureCost::JpegLayout> baseline =
            PictureCost::jpegLayout(jpeg(QSize(64, 48), 1, false));
        QVERIFY(baseline && !baseline->progressive);
        QCOMPARE(baseline->scans, 1);
        QVERIFY(!PictureCost::jpegLayout(QByteArray("\xff\xd8\xff\xe0\x00\x04zz\xff\xd9", 10)));
    }

    void decodeStopsOnTimeOwnerAndQuit() {
        // Seconds of decoding when nothing stops it.
        const QByteArray slow = slowJpeg(2000);
        std::atomic<bool> giveUp{false};
        std::thread owner([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            giveUp = true;
        });
        const AccountPicture::Decoded abandoned = AccountPicture::decodePicture(
            slow, AccountPicture::Crop::None, QSize(126, 126), [&] { return giveUp.load(); }, unlimited);
        owner.join();
        QCOMPARE(int(abandoned.verdict), int(Verdict::Stopped));

        AccountPicture::Limits timed = unlimited;
        timed.budgetMs = 100;
        QCOMPARE(
            int(AccountPicture::decodePicture(slow, AccountPicture::Crop::None, QSize(126, 126), {}, timed)
                    .verdict),
            int(Verdict::TooSlow));

        std::thread quitting([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            CommandRunner::abortAll();
        });
        const Verdict verdict =
            AccountPicture::decodePicture(slow, AccountPicture::Crop::None, QSize(126, 126), {}, unlimited)
                .verdict;
        quitting.join();
        CommandRunner::resetAbort();
        QCOMPARE(int(verdict), int(Verdict::Stopped));
    }

    // The readers' complaints about a broken picture are debug lines, not
    // warnings on stderr; warnings from anywhere else still are.
    void decoderComplaintsAreDebugLines() {
        static QStringList warnings;
        static QtMessageHandler testHandler = nullptr;
        testHandler = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (type == QtWarningMsg)
                    warnings << message;
                testHandler(type, context, message);
            });
        AccountPicture::installDecoderMessageFilter();
        const QByteArray whole = jpeg(QSize(256, 256), 3, true);
        AccountPicture::decodePicture(whole.left(whole.size() / 2), AccountPicture::Crop::None,
                                      QSize(64, 64));
        qWarning("not from a picture");
        QCOMPARE(warnings, QStringList{"not from a picture"});
    }

    // A read given up, or whose owner is gone, sees its stop check turn
    // true and delivers nothing; one left alone delivers.
    void backgroundReadsGivenUp() {
        struct Outcome {
            std::atomic<bool> started{false};
            std::atomic<bool> sawStop{false};
            bool delivered = false;
        };
        const auto start = [](QObject* owner, Outcome* outcome) {
            return AccountPicture::readInBackground(
                owner,
                [outcome](const AccountPicture::StopCheck& stop) {
                    outcome->started = true;
                    QDeadlineTimer deadline(5000);
                    while (!stop() && !deadline.hasExpired())
                        QThread::msleep(1);
                    outcome->sawStop = stop();
                    return QImage(2, 2, QImage::Format_RGB32);
                },
                [outcome](const QImage&) { outcome->delivered = true; });
        };
        QObject owner;
        Outcome givenUp;
        AccountPicture::BackgroundRead read = start(&owner, &givenUp);
        QTRY_VERIFY(givenUp.started);
        read.abandon();
        auto* leaving = new QObject;
        Outcome orphaned;
        start(leaving, &orphaned);
        QTRY_VERIFY(orphaned.started);
        delete leaving;
        QVERIFY(QThreadPool::globalInstance()->waitForDone(5000));
        QCoreApplication::processEvents();
        QVERIFY(givenUp.sawStop && !givenUp.delivered);
        QVERIFY(orphaned.sawStop && !orphaned.delivered);

        bool delivered = false;
        AccountPicture::readInBackground(
            &owner, [](const AccountPicture::StopCheck&) { return QImage(2, 2, QImage::Format_RGB32); },
            [&](const QImage& image) { delivered = image.size() == QSize(2, 2); });
        QVERIFY(QThreadPool::globalInstance()->waitForDone(5000));
        QTRY_VERIFY(delivered);
    }
};

QTEST_GUILESS_MAIN(TestAccountPicture)
#include "tst_accountpicture.moc"
