#pragma once

#include <QColor>
#include <QString>

// The three colours of the graph colour scheme chosen in the View menu.
class ThemeColors {
public:
    ThemeColors();

    // "aperture" or "green"; any other name (compared exactly) gives "aperture".
    void setTheme(const QString& name);
    void applyAperture();
    void applyGreen();

    QColor backgroundColor() const { return m_background; }
    QColor foregroundColor() const { return m_foreground; }
    QColor secondaryColor() const { return m_secondary; }

private:
    QColor m_background;
    QColor m_foreground;
    QColor m_secondary;
};

// True when the running application palette's Window colour is dark.
bool isDarkTheme();

// Row and cell colours with one value for a dark and one for a light palette,
// chosen at every call so that they follow a theme switch at once.
QColor statusColorGreen();
QColor statusColorAmber();
QColor statusColorRed();
QColor statusColorBlue();
QColor statusColorGrey();
// One of the status colours, though no page colours a row with it today.
QColor statusColorMidGrey();
QColor statusColorInverseGrey();
QColor statusColorSoftGrey();
