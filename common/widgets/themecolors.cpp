#include "themecolors.h"

#include <QGuiApplication>
#include <QPalette>

ThemeColors::ThemeColors() {
    applyAperture();
}

void ThemeColors::setTheme(const QString& name) {
    if (name == QLatin1String("green"))
        applyGreen();
    else
        applyAperture();
}

void ThemeColors::applyAperture() {
    m_background = QColor(44, 26, 0);
    m_foreground = QColor(255, 176, 0);
    m_secondary = QColor(150, 101, 0);
}

void ThemeColors::applyGreen() {
    m_background = QColor(6, 43, 0);
    m_foreground = QColor(20, 202, 19);
    m_secondary = QColor(13, 123, 10);
}

bool isDarkTheme() {
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Window).lightness() < 128;
}

namespace {
QColor pick(const QColor& dark, const QColor& light) {
    return isDarkTheme() ? dark : light;
}
} // namespace

QColor statusColorGreen() {
    return pick(QColor(25, 60, 25), QColor(231, 255, 229));
}
QColor statusColorAmber() {
    return pick(QColor(70, 50, 20), QColor(255, 236, 195));
}
QColor statusColorRed() {
    return pick(QColor(65, 25, 25), QColor(255, 229, 229));
}
QColor statusColorBlue() {
    return pick(QColor(20, 45, 65), QColor(229, 248, 255));
}
QColor statusColorGrey() {
    return pick(QColor(55, 55, 55), QColor(208, 208, 208));
}
QColor statusColorMidGrey() {
    return pick(QColor(140, 140, 140), QColor(170, 170, 170));
}
QColor statusColorInverseGrey() {
    return pick(QColor(220, 220, 220), QColor(50, 50, 50));
}
QColor statusColorSoftGrey() {
    return pick(QColor(50, 50, 50), QColor(230, 230, 230));
}
