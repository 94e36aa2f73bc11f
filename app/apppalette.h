#pragma once

#include <functional>
#include <optional>

class QApplication;
class QPalette;
class QWidget;
class MainWindow;

// A colour as GTK gives it: channels from 0.0 to 1.0.
struct DesktopColor {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
};

// The luma rule for the desktop's background: each channel is scaled to
// 0-255 by truncation, weighted 0.299/0.587/0.114 and the sum truncated;
// a luma below 128 is dark.
bool isDarkBackground(double red, double green, double blue);

// The GTK theme's "theme_bg_color", read afresh (pending desktop setting
// changes are taken in first). Empty when GTK cannot open the display or the
// theme has no such colour.
std::optional<DesktopColor> desktopBackgroundColor();

// Reads the desktop (GTK) theme's background colour; true for a dark desktop.
// A desktop whose colour cannot be read counts as light. GUI thread only.
bool isSystemThemeDark();

// Setting GTK up parses the desktop theme's style sheets, a large share of the
// program's start-up. The first reading is therefore taken by a child process
// of the program, forked before anything else runs (no other thread, no
// application object), while the program builds its window. Returns false
// when no child could be started.
bool startEarlyThemeProbe();
// The child's verdict, waited for at most timeoutMs: true for a dark desktop,
// false for a light one or one whose colour it could not read. Nothing when no
// child was started, or it gave no answer in time (it is then ended).
std::optional<bool> takeEarlyThemeVerdict(int timeoutMs = 3000);

// The program's dark palette, built on a copy of base: the roles it does not
// set keep base's values.
QPalette darkPalette(const QPalette& base);

// Installs the Fusion style and the light or dark palette for the verdict.
void applyApplicationPalette(QApplication& app, bool dark);

// One tick of the theme poll for any top-level window. When the verdict
// differs from lastAppliedDark it updates it, installs the new palette, calls
// announce (before anything is re-polished) and re-polishes every widget.
// Returns whether the verdict changed.
bool followDesktopTheme(bool& lastAppliedDark, QApplication& app, QWidget& window,
                        const std::function<void()>& announce);

// The early probe's verdict for a window that is built but not shown yet:
// for a dark desktop the dark palette is installed, announce called and the
// few widgets already polished are polished again (the rest are when shown).
void applyEarlyVerdict(bool dark, QApplication& app, const std::function<void()>& announce);

// The once-a-second poll of the main window: followDesktopTheme announcing
// the change through MainWindow::themeChanged.
void checkThemeChange(bool& lastAppliedDark, QApplication& app, MainWindow& window);
