#pragma once

class QApplication;
class MainWindow;

// Reads the desktop (GTK) theme's background colour; true for a dark desktop.
// A desktop whose colour cannot be read counts as light.
bool isSystemThemeDark();

// Installs the Fusion style and the light or dark palette for the verdict.
void applyApplicationPalette(QApplication& app, bool dark);

// The once-a-second poll: re-applies the palette and tells the window only
// when the verdict differs from lastAppliedDark, which it then updates.
void checkThemeChange(bool& lastAppliedDark, QApplication& app, MainWindow& window);
