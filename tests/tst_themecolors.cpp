#include "apppalette.h"
#include "themecolors.h"

#include <QApplication>
#include <QStyle>
#include <QtTest>

namespace {

void usePalette(bool dark) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    applyApplicationPalette(*app, dark);
}

QPalette paletteWithWindow(const QColor& window) {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, window);
    return palette;
}

} // namespace

class TestThemeColors : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { usePalette(false); }

    void graphPresets_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("foreground");
        QTest::addColumn<QColor>("secondary");
        const QColor apertureBg(44, 26, 0), apertureFg(255, 176, 0), apertureSec(150, 101, 0);
        const QColor greenBg(6, 43, 0), greenFg(20, 202, 19), greenSec(13, 123, 10);
        QTest::newRow("new object") << QStringList() << apertureBg << apertureFg << apertureSec;
        QTest::newRow("green") << QStringList{"green"} << greenBg << greenFg << greenSec;
        QTest::newRow("green, then unknown")
            << QStringList{"green", "purple"} << apertureBg << apertureFg << apertureSec;
    }
    void graphPresets() {
        QFETCH(QStringList, names);
        QFETCH(QColor, background);
        QFETCH(QColor, foreground);
        QFETCH(QColor, secondary);
        ThemeColors colors;
        for (const QString& name : names)
            colors.setTheme(name);
        QCOMPARE(colors.backgroundColor(), background);
        QCOMPARE(colors.foregroundColor(), foreground);
        QCOMPARE(colors.secondaryColor(), secondary);
    }

    void darkByWindowLightness_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<bool>("dark");
        QTest::newRow("program's dark palette") << darkPalette(QApplication::palette()) << true;
        QTest::newRow("Fusion's light palette") << QApplication::style()->standardPalette() << false;
        QTest::newRow("lightness 128") << paletteWithWindow(QColor(128, 128, 128)) << false;
        // HSL lightness is (max + min) / 2, not luma: saturated blue is light here.
        QTest::newRow("pure blue, lightness 128") << paletteWithWindow(QColor(0, 0, 255)) << false;
    }
    void darkByWindowLightness() {
        QFETCH(QPalette, palette);
        QFETCH(bool, dark);
        QApplication::setPalette(palette);
        QCOMPARE(isDarkTheme(), dark);
    }
};

QTEST_MAIN(TestThemeColors)
#include "tst_themecolors.moc"
