#include "overviewstyles.h"

namespace {

const QString boxRules =
    QStringLiteral("border-radius: 5px;margin-top: 1ex;padding: 2px;}"
                   "QGroupBox::title {subcontrol-origin: margin;subcontrol-position: top "
                   "left;padding: 0 2px;left: 6px;top: -1px;"
                   "background-color: palette(tooltipbase);}");

} // namespace

QString OverviewStyles::frameStyle(bool dark) {
    return dark ? QStringLiteral(
                      "QFrame {background-color: #2C1A00;padding: 0;border-style: solid;border-width: 2px;"
                      "border-color: #101010 #303030 #303030 #101010;}")
                : QStringLiteral(
                      "QFrame {background-color: #2C1A00;padding: 0;border-style: solid;border-width: 2px;"
                      "border-color: grey lightgrey lightgrey grey;}");
}

QString OverviewStyles::groupBoxStyle(bool dark) {
    const QString borderColor = dark ? QStringLiteral("#404040") : QStringLiteral("lightgray");
    return QStringLiteral("QGroupBox {background-color: palette(tooltipbase);border: 1px solid ") +
           borderColor + QLatin1Char(';') + boxRules;
}

QString OverviewStyles::selectedGroupBoxStyle() {
    return QStringLiteral("QGroupBox {background-color: palette(tooltipbase);border: 1px solid gray;") +
           boxRules;
}

QString OverviewStyles::overlayLabelStyle(const QColor& foreground) {
    return QStringLiteral("QLabel {color: %1;background-color : rgba(125, 125, 125, 128);"
                          "padding: 1px;border: 0;}")
        .arg(foreground.name());
}

QString OverviewStyles::barStyle(const QColor& foreground, const QColor& background) {
    return QStringLiteral(
               "QProgressBar {color: %1;border: 0px solid grey;border-radius: 5px;text-align: center;"
               "padding: 0;margin-bottom: 0;background: transparent;}"
               "QProgressBar::chunk {background: qlineargradient(x1: 0, y1: 1, x2: 0, y2: 0, "
               "stop: 0 %1, stop: 1.0 %2);margin: 0px;padding: 0px;}"
               "QProgressBar:vertical {min-width: 100px;}"
               "QProgressBar::chunk:vertical {height: 2px;width: 100%;}")
        .arg(foreground.name(), background.name());
}
