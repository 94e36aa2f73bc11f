#include "rawxwindows.h"
#include "testsupport.h"
#include "x11windowreader.h"

#include <QtTest>
#include <memory>

// Window icons read from the X server: only the image that fits the row,
// once per window, again only when it changes; within the listing's bound.
class TestX11WindowIcons : public QObject {
    Q_OBJECT
private:
    RawXWindows x;
    std::unique_ptr<X11WindowReader> reader;

    static constexpr QRgb red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF, yellow = 0xFFFFFF00;
    // The colour at the centre, each channel to the nearest of 0 and 255
    // (smooth scaling may round).
    static QRgb colour(const QImage& image) {
        if (image.isNull())
            return 0;
        const QRgb pixel = image.pixel(image.width() / 2, image.height() / 2);
        const auto level = [](int channel) { return channel < 128 ? 0 : 255; };
        return qRgba(level(qRed(pixel)), level(qGreen(pixel)), level(qBlue(pixel)), level(qAlpha(pixel)));
    }
    int fetches() const { return reader->iconCounters().imageFetches; }
    // One listing, as the Applications worker makes it.
    QVector<QImage> list(const QVector<quint32>& windows) {
        reader->read(windows);
        return reader->icons(windows, 32);
    }

private slots:
    void initTestCase() { QVERIFY(x.isConnected()); }
    void init() { reader = X11WindowReader::withOwnConnection(); }
    void cleanup() { reader.reset(); }

    void fetchedOnceAtTheRowsSize() {
        const quint32 several = x.create(false), large = x.create(false), none = x.create(false);
        x.setIcon(several, {{{64, 64}, red}, {{16, 16}, green}, {{32, 32}, blue}, {{48, 48}, yellow}});
        x.setIcon(large, {{{256, 128}, blue}});
        x.sync();
        const QVector<quint32> windows{several, large, none};
        QVector<QImage> icons = list(windows);
        QCOMPARE(icons[0].size(), QSize(32, 32));
        QCOMPARE(colour(icons[0]), blue);
        // Scaled to the row keeping its shape, in the middle of the row's square.
        QCOMPARE(icons[1].size(), QSize(32, 32));
        QCOMPARE(colour(icons[1]), blue);
        QCOMPARE(qAlpha(icons[1].pixel(16, 7)), 0);
        QVERIFY(icons[2].isNull());
        // Five headers (the window without an icon: one read that finds
        // nothing) and the pixels of the two chosen images alone.
        QCOMPARE(reader->iconCounters().headerReads, 4 + 1 + 1);
        QCOMPARE(reader->iconCounters().pixelBytes, (32 * 32 + 256 * 128) * 4);

        // Another property's change fetches nothing; the icon's, that icon.
        x.setText(several, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, "renamed");
        x.sync();
        QCOMPARE(colour(list(windows)[0]), blue);
        QCOMPARE(fetches(), 2);
        x.setIcon(several, {{{32, 32}, green}});
        x.sync();
        icons = list(windows);
        QCOMPARE(colour(icons[0]), green);
        QCOMPARE(colour(icons[1]), blue);
        QCOMPARE(fetches(), 3);

        // A window that leaves the list is forgotten: read again when back.
        list({several});
        QCOMPARE(colour(list(windows)[1]), blue);
        QCOMPARE(fetches(), 4);
    }

    // Icons beyond what one listing may fetch wait for the next listing.
    void boundLeavesTheRestForTheNextListing() {
        const int fitting = int(X11WindowIcons::maximumPixelBytes / (1024 * 1024 * 4));
        QVector<quint32> windows;
        for (int i = 0; i <= fitting; ++i) {
            windows << x.create(false);
            x.setIcon(windows.last(), {{{1024, 1024}, red}});
        }
        x.sync();
        QVector<QImage> icons = list(windows);
        for (int i = 0; i < fitting; ++i)
            QCOMPARE(colour(icons[i]), red);
        QVERIFY(icons[fitting].isNull());
        QCOMPARE(fetches(), fitting);
        icons = list(windows);
        QCOMPARE(colour(icons[fitting]), red);
        QCOMPARE(fetches(), fitting + 1);
    }

    // The X server hands a closed client's window ids to the next client: a
    // new window under a known id shows its own icon.
    void newWindowUnderAClosedOnesId() {
        quint32 id = 0;
        {
            RawXWindows closing;
            id = closing.create(false);
            closing.setIcon(id, {{{32, 32}, red}});
            closing.sync();
            QCOMPARE(colour(list({id}).value(0)), red);
        }
        QVERIFY(TestSupport::waitFor([&] { return !x.exists(id); }));
        RawXWindows next;
        const quint32 reused = next.create(false);
        if (reused != id)
            QSKIP("another client took the closed client's ids");
        next.setIcon(reused, {{{32, 32}, green}});
        next.sync();
        QCOMPARE(colour(list({reused}).value(0)), green);
    }
};

QTEST_MAIN(TestX11WindowIcons)
#include "tst_x11windowicons.moc"
