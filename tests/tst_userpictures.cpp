#include "avatarhelpers.h"
#include "commandrunner.h"
#include "dialogadduser.h"
#include "dialogedituser.h"
#include "dialogstockavatars.h"
#include "dialogwebcam.h"
#include "systempaths.h"
#include "testpictures.h"
#include "testsupport.h"
#include "userdialogsfixture.h"

#include <QCameraInfo>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The pictures of the user dialogs under the real X server: the composed
// account picture, the stock pictures, the webcam, and a picture chosen
// with Browse, read away from the GUI thread.
class TestUserPictures : public UserDialogsFixture {
    Q_OBJECT

private slots:
    void pictureHelpers() {
        QPixmap wide(300, 200);
        wide.fill(Qt::red);
        const QImage plain = composeAvatarPixmap(wide, QPixmap(), false).toImage();
        QCOMPARE(plain.size(), QSize(190, 190));
        QCOMPARE(plain.pixelColor(32, 32), QColor(Qt::red));
        QCOMPARE(plain.pixelColor(31, 31).alpha(), 0);
        QPixmap holed(126, 126);
        holed.fill(Qt::transparent);
        const QImage veiled = makeVeiledPixmap(holed).toImage();
        QCOMPARE(veiled.pixelColor(5, 5).alpha(), 0);
        // The overlay lies over the picture; the edit mark stays in its 24x24 square at (92, 74).
        QImage overlay(190, 190, QImage::Format_ARGB32);
        overlay.fill(Qt::transparent);
        overlay.setPixelColor(40, 40, Qt::blue);
        QCOMPARE(composeAvatarPixmap(wide, QPixmap::fromImage(overlay), false).toImage().pixelColor(40, 40),
                 QColor(Qt::blue));
        const QImage marked = composeAvatarPixmap(holed, QPixmap(), true).toImage();
        QRect drawn;
        for (int y = 0; y < 190; ++y)
            for (int x = 0; x < 190; ++x)
                if (marked.pixelColor(x, y).alpha() > 0)
                    drawn |= QRect(x, y, 1, 1);
        QVERIFY(!drawn.isEmpty() && QRect(92, 74, 24, 24).contains(drawn));
        QCOMPARE(cropImageToSquare(QImage(1, 1, QImage::Format_RGB32)).size(), QSize(256, 256));
    }

    void stockPictures() {
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(root.path() + QStringLiteral("/home/me")));
        const QString face = root.path() + QStringLiteral("/home/me/.face");
        QFile::remove(face);
        {
            DialogStockAvatars dialog;
            auto* view = dialog.findChild<QListView*>(QStringLiteral("listViewAvatars"));
            auto* select = dialog.findChild<QPushButton*>(QStringLiteral("pushButtonSelectAvatar"));
            QStringList names;
            for (int row = 0; row < view->model()->rowCount(); ++row)
                names << QFileInfo(view->model()->index(row, 0).data(Qt::UserRole).toString()).fileName();
            QCOMPARE(names, QStringList({"A.png", "avatar-08.jpg", "b.png", "c.PNG"}));
            QVERIFY(!select->isEnabled());
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(view->model()->index(3, 0)).center());
            QVERIFY(select->isEnabled());
            QCOMPARE(dialog.getSelectedImagePath(), faces + QStringLiteral("c.PNG"));
            shoot(&dialog, QStringLiteral("stock-pictures"));
        }
        // A slightly different copy of b is recognised; one grey step more is not.
        // The picture is read away from the GUI thread; the tile follows.
        const auto chosenFor = [&](const QByteArray& picture) {
            QFile file(face);
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            file.write(picture);
            file.close();
            DialogStockAvatars dialog;
            QThreadPool::globalInstance()->waitForDone();
            QCoreApplication::processEvents();
            return dialog.getSelectedImagePath();
        };
        const auto png = [](int grey) {
            QImage image(100, 100, QImage::Format_RGB32);
            image.fill(QColor(grey, grey, grey));
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            return bytes;
        };
        QCOMPARE(chosenFor(png(120)), faces + QStringLiteral("b.png"));
        QCOMPARE(chosenFor(png(126)), QString());
        // The same picture as SVG is never decoded.
        QCOMPARE(chosenFor("<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'>"
                           "<rect width='100' height='100' fill='#787878'/></svg>"),
                 QString());
        qputenv("HOME", home);
    }

    void webcamWithoutCamera() {
        DialogWebcam dialog;
        if (QCameraInfo::availableCameras().isEmpty()) {
            QTRY_COMPARE(dialog.findChild<QLabel*>(QStringLiteral("labelCameraStatus"))->text(),
                         QStringLiteral("No camera was found on this computer."));
            QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("pushButtonTakeSnapshot"))->isEnabled());
        }
        shoot(&dialog, QStringLiteral("webcam"));
        QSignalSpy spy(&dialog, &DialogWebcam::imageCaptured);
        QImage photo(640, 480, QImage::Format_RGB32);
        photo.fill(Qt::green);
        dialog.processCapturedImage(1, photo);
        dialog.processCapturedImage(2, photo);
        QCOMPARE(spy.size(), 1);
        QVERIFY(!dialog.isVisible());
    }

    // The camera is looked for away from the GUI thread: while a slow probe
    // runs, the dialog is up and says so; then it tells what was found.
    void webcamLookedForAway() {
        const auto release = std::make_shared<std::atomic<bool>>(false);
        const auto released = qScopeGuard([&] {
            *release = true;
            QThreadPool::globalInstance()->waitForDone();
        });
        DialogWebcam dialog(nullptr, [release] {
            QDeadlineTimer deadline(5000);
            while (!*release && !deadline.hasExpired())
                QThread::msleep(5);
            return QCameraInfo();
        });
        auto* status = dialog.findChild<QLabel*>(QStringLiteral("labelCameraStatus"));
        auto* take = dialog.findChild<QPushButton*>(QStringLiteral("pushButtonTakeSnapshot"));
        QCOMPARE(status->text(), QStringLiteral("Looking for a camera on this computer..."));
        QVERIFY(!take->isEnabled());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        shoot(&dialog, QStringLiteral("webcam-looking"));
        *release = true;
        QTRY_COMPARE(status->text(), QStringLiteral("No camera was found on this computer."));
        QVERIFY(!take->isEnabled());
    }

    // A picture chosen with Browse is read away from the GUI thread: the
    // dialog answers meanwhile and Cancel drops the read; a progressive JPEG
    // of tens of thousands of scans (minutes of decoding) holds neither
    // Cancel nor the quit.
    void browseReadsAway() {
        EditMachine machine(aliceAndBob(), twoAdministrators());
        qunsetenv("SUDO_USER");
        const QString plain = machine.file("/home/alice/plain.png");
        writeImage(plain, QSize(300, 200), QColor(20, 200, 40));
        const QString slow = machine.file("/home/alice/slow.jpg");
        {
            QFile out(slow);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(TestPictures::withRepeatedScan(TestPictures::jpeg(QSize(2048, 2048), 1, true), 70000));
        }
        DialogEditUser dialog;
        dialog.authenticator = [] { return true; };
        dialog.loadUser(QStringLiteral("alice"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* avatar = dialog.findChild<QLabel*>(QStringLiteral("labelUserAvatar"));
        auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("pushButtonCancel"));
        const auto shown = [&] { return avatar->pixmap(Qt::ReturnByValue).toImage(); };

        dialog.toggleEdit();
        const QImage editing = shown();
        browse(avatar, plain);
        QCOMPARE(shown(), editing); // back before the picture is read
        QTRY_VERIFY(shown() != editing);
        dialog.cancelChanges();
        const QImage viewing = shown();

        // Cancel while the picture is being read: it never arrives.
        dialog.toggleEdit();
        browse(avatar, plain);
        cancel->click();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(5000));
        QCoreApplication::processEvents();
        QCOMPARE(shown(), viewing);

        dialog.toggleEdit();
        titles.clear();
        browse(avatar, slow);
        cancel->click();
        QCOMPARE(cancel->isEnabled(), false);
        QElapsedTimer quitting;
        quitting.start();
        CommandRunner::abortAll();
        const bool ended = QThreadPool::globalInstance()->waitForDone(5000);
        CommandRunner::resetAbort();
        qInfo("The picture's read ended %lld ms after the quit began", quitting.elapsed());
        QVERIFY(ended && quitting.elapsed() < 1000);
        QCoreApplication::processEvents();
        QCOMPARE(shown(), viewing);
        QCOMPARE(titles, QStringList());
    }

    // Add User's Browse, which asks for no password, with pictures that ask
    // their reader for far more memory than their size says (a 35-byte GIF
    // whose one pixel lies on a screen of 16000x16000, a 16-bit PNG of
    // 1448x1448): the program's peak hardly moves, the generic picture
    // stays, and the user is told.
    void browseCostlyPictures() {
        QTemporaryDir folder;
        const QString screen = folder.filePath(QStringLiteral("screen.gif"));
        const QString deep = folder.filePath(QStringLiteral("deep.png"));
        for (const auto& [path, bytes] :
             {std::pair(screen, TestPictures::gif(QSize(16000, 16000), QRect(0, 0, 1, 1))),
              std::pair(deep, TestPictures::deepPng(QSize(1448, 1448)))}) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        }
        DialogAddUser dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* avatar = dialog.findChild<QLabel*>(QStringLiteral("labelUserAvatar"));
        const QImage generic = avatar->pixmap(Qt::ReturnByValue).toImage();
        for (const QString& path : {screen, deep}) {
            titles.clear();
            texts.clear();
            TestSupport::resetPeakMemory();
            const qint64 before = TestSupport::peakMemory();
            browse(avatar, path);
            QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
            const qint64 grown = TestSupport::peakMemory() - before;
            qInfo("%s: peak memory grew by %lld kB", qPrintable(QFileInfo(path).fileName()), grown / 1024);
            QVERIFY2(grown < 32 * 1024 * 1024, qPrintable(QString::number(grown)));
            QTRY_COMPARE(titles, QStringList(QStringLiteral("Open Image")));
            QCOMPARE(texts, QStringList(QStringLiteral("Could not load image.")));
            QCOMPARE(avatar->pixmap(Qt::ReturnByValue).toImage(), generic);
        }
    }

    // With no stock pictures installed the dialog says so, and where it looked.
    void stockPicturesNotInstalled() {
        QTemporaryDir empty;
        const QString previous = SystemPaths::rootPrefix();
        SystemPaths::setRootPrefix(empty.path());
        DialogStockAvatars dialog;
        SystemPaths::setRootPrefix(previous);
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("labelNoPictures"));
        QVERIFY(!label->isHidden());
        QVERIFY2(label->text().contains(empty.path() + QStringLiteral("/usr/share/pixmaps/faces/")),
                 qPrintable(label->text()));
        shoot(&dialog, QStringLiteral("stock-pictures-none"));
    }
};

QTEST_MAIN(TestUserPictures)
#include "tst_userpictures.moc"
