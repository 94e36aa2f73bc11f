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

    // An unknown preset name falls back to the default colours.
    void graphPresets() {
        const ThemeColors defaults;
        ThemeColors colors;
        colors.setTheme("green");
        QVERIFY(colors.foregroundColor() != defaults.foregroundColor());
        for (const char* unknown : {"Green", "purple"}) {
            colors.setTheme("green");
            colors.setTheme(unknown);
            QCOMPARE(colors.backgroundColor(), defaults.backgroundColor());
            QCOMPARE(colors.foregroundColor(), defaults.foregroundColor());
            QCOMPARE(colors.secondaryColor(), defaults.secondaryColor());
        }
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
