// GTK's headers must come before Qt's: they use "signals" as an identifier,
// which Qt defines as a macro.
#include <gtk/gtk.h>

#include "apppalette.h"

#include "mainwindow.h"

#include <QApplication>
#include <QDebug>
#include <QPalette>
#include <QStyle>

namespace {

// GTK is only a source of the desktop theme's colours here. It is set up once:
// when it cannot open a display the desktop counts as light for the whole run
// (gtk_init would end the process instead). The one hidden window serves every
// probe, so a poll once a second allocates nothing that lives on.
class GtkThemeProbe {
public:
    static GtkThemeProbe& instance() {
        static GtkThemeProbe probe;
        return probe;
    }

    std::optional<DesktopColor> backgroundColor() {
        if (!window)
            return std::nullopt;
        takePendingSettingChanges();
        GdkRGBA rgba;
        if (!gtk_style_context_lookup_color(gtk_widget_get_style_context(window), "theme_bg_color", &rgba))
            return std::nullopt;
        return DesktopColor{rgba.red, rgba.green, rgba.blue};
    }

private:
    GtkThemeProbe() {
        // GDK would otherwise look for OpenGL visuals as it opens the display,
        // loading the OpenGL driver (tens of megabytes) into a program that
        // draws nothing with it, the first time on each display. Only this
        // start-up sees the setting; no program started later inherits it.
        const bool glSetHere = !qEnvironmentVariableIsSet("GDK_GL");
        if (glSetHere)
            qputenv("GDK_GL", "disable");
        const bool initialised = gtk_init_check(nullptr, nullptr);
        if (glSetHere)
            qunsetenv("GDK_GL");
        if (!initialised) {
            qWarning() << "GTK cannot open the display; the desktop theme counts as light.";
            return;
        }
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    }

    // A desktop theme switch reaches GTK as an XSETTINGS change on its own X
    // connection. Qt's event loop passes those events on only when it runs on
    // GLib's loop (not with QT_NO_GLIB), so hand them to GTK here or the old
    // theme could be read forever.
    static void takePendingSettingChanges() {
        while (GdkEvent* event = gdk_event_get()) {
            gtk_main_do_event(event);
            gdk_event_free(event);
        }
    }

    GtkWidget* window = nullptr; // never shown; kept for the whole run
};

void repolish(QWidget& widget) {
    QStyle* style = widget.style();
    style->unpolish(&widget);
    style->polish(&widget);
    widget.update();
    widget.repaint();
}

} // namespace

bool isDarkBackground(double red, double green, double blue) {
    const int r = static_cast<int>(red * 255.0);
    const int g = static_cast<int>(green * 255.0);
    const int b = static_cast<int>(blue * 255.0);
    const int luma = static_cast<int>(0.299 * r + 0.587 * g + 0.114 * b);
    return luma < 128;
}

std::optional<DesktopColor> desktopBackgroundColor() {
    return GtkThemeProbe::instance().backgroundColor();
}

bool isSystemThemeDark() {
    const std::optional<DesktopColor> color = desktopBackgroundColor();
    return color && isDarkBackground(color->red, color->green, color->blue);
}

QPalette darkPalette(const QPalette& base) {
    const QColor text(220, 230, 240);
    const QColor disabledText(74, 90, 112);
    QPalette palette(base);
    palette.setColor(QPalette::Window, QColor(10, 20, 32));
    palette.setColor(QPalette::Base, QColor(5, 11, 20));
    palette.setColor(QPalette::AlternateBase, QColor(12, 24, 40));
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Button, QColor(12, 24, 40));
    palette.setColor(QPalette::Highlight, QColor(30, 90, 158));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(14, 26, 44));
    palette.setColor(QPalette::Disabled, QPalette::Text, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
    return palette;
}

void applyApplicationPalette(QApplication& app, bool dark) {
    app.setStyle(QStringLiteral("Fusion"));
    if (dark)
        app.setPalette(darkPalette(app.palette()));
    else
        app.setPalette(app.style()->standardPalette());
}

bool followDesktopTheme(bool& lastAppliedDark, QApplication& app, QWidget& window,
                        const std::function<void()>& announce) {
    const bool dark = isSystemThemeDark();
    if (dark == lastAppliedDark)
        return false;
    lastAppliedDark = dark;
    applyApplicationPalette(app, dark);
    announce();

    app.setPalette(QGuiApplication::palette());
    repolish(window);
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* widget : widgets)
        repolish(*widget);
    return true;
}

void checkThemeChange(bool& lastAppliedDark, QApplication& app, MainWindow& window) {
    followDesktopTheme(lastAppliedDark, app, window, [&window] { emit window.themeChanged(); });
}
