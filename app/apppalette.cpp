#include "apppalette.h"

#include "mainwindow.h"

#include <QApplication>
#include <QStyle>

bool isSystemThemeDark() {
    return false;
}

void applyApplicationPalette(QApplication& app, bool dark) {
    Q_UNUSED(dark)
    app.setStyle(QStringLiteral("Fusion"));
    app.setPalette(app.style()->standardPalette());
}

void checkThemeChange(bool& lastAppliedDark, QApplication& app, MainWindow& window) {
    const bool dark = isSystemThemeDark();
    if (dark == lastAppliedDark)
        return;
    lastAppliedDark = dark;
    applyApplicationPalette(app, dark);
    emit window.themeChanged();
}
