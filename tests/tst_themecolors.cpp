#include "apppalette.h"
#include "themecolors.h"

#include <QApplication>
#include <QStyle>
#include <QtTest>

using ColorFunction = QColor (*)();
Q_DECLARE_METATYPE(ColorFunction)

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
        QTest::newRow("aperture") << QStringList{"aperture"} << apertureBg << apertureFg << apertureSec;
        QTest::newRow("green") << QStringList{"green"} << greenBg << greenFg << greenSec;
        QTest::newRow("Green is not green")
            << QStringList{"Green"} << apertureBg << apertureFg << apertureSec;
        QTest::newRow("empty name") << QStringList{""} << apertureBg << apertureFg << apertureSec;
        QTest::newRow("unknown name") << QStringList{"amber"} << apertureBg << apertureFg << apertureSec;
        QTest::newRow("green, then aperture")
            << QStringList{"green", "aperture"} << apertureBg << apertureFg << apertureSec;
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
        QCOMPARE(colors.backgroundColor().alpha(), 255);
    }

    void darkByWindowLightness_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<bool>("dark");
        QTest::newRow("program's dark palette") << darkPalette(QApplication::palette()) << true;
        QTest::newRow("Fusion's light palette") << QApplication::style()->standardPalette() << false;
        QTest::newRow("lightness 127") << paletteWithWindow(QColor(127, 127, 127)) << true;
        QTest::newRow("lightness 128") << paletteWithWindow(QColor(128, 128, 128)) << false;
        // HSL lightness is (max + min) / 2, not luma: saturated blue is light here.
        QTest::newRow("pure blue, lightness 128") << paletteWithWindow(QColor(0, 0, 255)) << false;
        QTest::newRow("blue, lightness 126") << paletteWithWindow(QColor(0, 0, 253)) << true;
    }
    void darkByWindowLightness() {
        QFETCH(QPalette, palette);
        QFETCH(bool, dark);
        QApplication::setPalette(palette);
        QCOMPARE(isDarkTheme(), dark);
    }

    void statusColors_data() {
        QTest::addColumn<ColorFunction>("function");
        QTest::addColumn<QColor>("onDark");
        QTest::addColumn<QColor>("onLight");
        QTest::newRow("green") << &statusColorGreen << QColor(25, 60, 25) << QColor(231, 255, 229);
        QTest::newRow("amber") << &statusColorAmber << QColor(70, 50, 20) << QColor(255, 236, 195);
        QTest::newRow("red") << &statusColorRed << QColor(65, 25, 25) << QColor(255, 229, 229);
        QTest::newRow("blue") << &statusColorBlue << QColor(20, 45, 65) << QColor(229, 248, 255);
        QTest::newRow("grey") << &statusColorGrey << QColor(55, 55, 55) << QColor(208, 208, 208);
        QTest::newRow("mid grey") << &statusColorMidGrey << QColor(140, 140, 140) << QColor(170, 170, 170);
        QTest::newRow("inverse grey")
            << &statusColorInverseGrey << QColor(220, 220, 220) << QColor(50, 50, 50);
        QTest::newRow("soft grey") << &statusColorSoftGrey << QColor(50, 50, 50) << QColor(230, 230, 230);
    }
    // Each call reads the palette in force, so a switch shows at once.
    void statusColors() {
        QFETCH(ColorFunction, function);
        QFETCH(QColor, onDark);
        QFETCH(QColor, onLight);
        usePalette(false);
        QCOMPARE(function(), onLight);
        usePalette(true);
        QCOMPARE(function(), onDark);
        QCOMPARE(function().alpha(), 255);
        usePalette(false);
        QCOMPARE(function(), onLight);
    }
};

QTEST_MAIN(TestThemeColors)
#include "tst_themecolors.moc"
