#include "apppalette.h"
#include "ui_mainwindow.h"

#include <QtTest>
#include <QtWidgets>

// The main form as a user first sees it: every resource it names loads and
// every page lays out and paints.
class TestMainForm : public QObject {
    Q_OBJECT
    QMainWindow window;
    Ui::MainWindow ui;

private slots:
    void initTestCase() {
        // The resources live in a static library; nothing else pulls them in here.
        Q_INIT_RESOURCE(resources);
        ui.setupUi(&window);
    }

    // Every ":/..." path the form names must load, and so must the icons
    // that the tab handlers take from the same resource tree.
    void everyNamedResourceLoads_data() {
        QTest::addColumn<QString>("path");
        QFile form(QStringLiteral(TESSMAR_TEST_DATA "/../../forms/mainwindow.ui"));
        QVERIFY(form.open(QIODevice::ReadOnly));
        QSet<QString> paths;
        QRegularExpressionMatchIterator it =
            QRegularExpression(":/icons/[A-Za-z0-9_.-]+").globalMatch(QString::fromUtf8(form.readAll()));
        while (it.hasNext())
            paths.insert(it.next().captured(0));
        QVERIFY(paths.size() >= 13);
        for (const QString& shared :
             QString("cron.png info.png warning.png error.png info other frame hidden visible "
                     "browse webcam stock-images user-root user-other user-system loop "
                     "ethernet wifi network stop")
                 .split(' '))
            paths.insert(":/icons/" + shared);
        for (const QString& path : paths)
            QTest::newRow(qPrintable(path)) << path;
    }
    void everyNamedResourceLoads() {
        QFETCH(QString, path);
        QVERIFY(QFile::exists(path));
        QImageReader reader(path);
        QVERIFY2(!reader.read().isNull(), qPrintable(reader.errorString()));
        QVERIFY(!QIcon(path).pixmap(16, 16).isNull());
    }

    // Shows every page and sub-page for real and grabs it. With
    // TESSMAR_SCREENSHOT_DIR set (scripts/screenshots) the pictures are kept.
    void everyPageRenders_data() {
        QTest::addColumn<int>("mainIndex");
        QTest::addColumn<QString>("innerTabs");
        QTest::addColumn<int>("innerIndex");
        const QStringList pages = {"overview", "applications", "processes", "services",
                                   "cronjobs", "networking",   "users",     "logs"};
        const QMap<int, QPair<QString, QStringList>> subPages = {
            {5, {"tabWidgetNetworkingTabs", {"bandwidth", "sniffer", "wireless"}}},
            {7,
             {"tabWidgetLogsTabs",
              {"syslog", "authlog", "kernlog", "dmesg", "bootlog", "userlog", "debapps", "flatpak"}}}};
        for (int i = 0; i < pages.size(); ++i) {
            const auto& [innerTabs, inner] = subPages.value(i);
            if (inner.isEmpty())
                QTest::newRow(qPrintable(pages[i])) << i << QString() << 0;
            for (int j = 0; j < inner.size(); ++j)
                QTest::newRow(qPrintable(pages[i] + "-" + inner[j])) << i << innerTabs << j;
        }
    }
    void everyPageRenders() {
        QFETCH(int, mainIndex);
        QFETCH(QString, innerTabs);
        QFETCH(int, innerIndex);
        static bool shown = [this] {
            applyApplicationPalette(*qApp, false);
            window.resize(1000, 720);
            window.show();
            return QTest::qWaitForWindowExposed(&window);
        }();
        QVERIFY(shown);
        ui.tabWidgetMainTabs->setCurrentIndex(mainIndex);
        if (!innerTabs.isEmpty())
            window.findChild<QTabWidget*>(innerTabs)->setCurrentIndex(innerIndex);
        QCoreApplication::processEvents();
        const QImage image = window.grab().toImage();
        QCOMPARE(image.size(), window.size() * window.devicePixelRatioF());

        // A page that failed to lay out or paint comes out (nearly) uniform.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4)
                colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));

        const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            QVERIFY(image.save(folder + "/" + QTest::currentDataTag() + ".png"));
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
