// GTK's headers must come before Qt's: they use "signals" as an identifier,
// which Qt defines as a macro.
#include <gtk/gtk.h>

#include "apppalette.h"

#include "mainwindow.h"
#include "startup.h"

#include <QApplication>
#include <QDebug>
#include <QPalette>
#include <QStyle>

#include <cerrno>
#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <type_traits>
#include <unistd.h>

namespace {

// GTK is loaded when first needed, not with the program: linking it would
// load some seventy libraries at every start (a tenth of the start-up time)
// for one colour. Its headers give the functions' types.
struct Gtk {
    decltype(&gtk_init_check) initCheck = nullptr;
    decltype(&gtk_window_new) windowNew = nullptr;
    decltype(&gtk_widget_get_style_context) styleContext = nullptr;
    decltype(&gtk_style_context_lookup_color) lookupColor = nullptr;
    decltype(&gdk_event_get) eventGet = nullptr;
    decltype(&gtk_main_do_event) mainDoEvent = nullptr;
    decltype(&gdk_event_free) eventFree = nullptr;

    // Null when the library or one of the functions is missing.
    static const Gtk* library() {
        static const Gtk* const loaded = [] {
            static Gtk gtk;
            // Kept loaded for the rest of the run.
            void* handle = ::dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                qWarning() << "GTK cannot be loaded; the desktop theme counts as light:" << ::dlerror();
                return static_cast<const Gtk*>(nullptr);
            }
            const auto find = [handle](auto& function, const char* name) {
                function =
                    reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(handle, name));
                return function != nullptr;
            };
            const bool complete =
                find(gtk.initCheck, "gtk_init_check") && find(gtk.windowNew, "gtk_window_new") &&
                find(gtk.styleContext, "gtk_widget_get_style_context") &&
                find(gtk.lookupColor, "gtk_style_context_lookup_color") &&
                find(gtk.eventGet, "gdk_event_get") && find(gtk.mainDoEvent, "gtk_main_do_event") &&
                find(gtk.eventFree, "gdk_event_free");
            return complete ? static_cast<const Gtk*>(&gtk) : nullptr;
        }();
        return loaded;
    }
};

// A hidden GTK window of the desktop's theme, and the colour it names
// "theme_bg_color". GDK is told not to look for OpenGL visuals as it opens the
// display: that would load the OpenGL driver (tens of megabytes) into a
// program that draws nothing with it, the first time on each display.
class GtkThemeWindow {
public:
    // Null when GTK cannot be loaded or cannot open the display.
    static std::unique_ptr<GtkThemeWindow> open() {
        const Gtk* gtk = Gtk::library();
        if (!gtk)
            return nullptr;
        // Nor does the hidden window need GTK's accessibility bridge, which
        // would talk to the session bus.
        const bool glSetHere = !qEnvironmentVariableIsSet("GDK_GL");
        const bool bridgeSetHere = !qEnvironmentVariableIsSet("NO_AT_BRIDGE");
        if (glSetHere)
            qputenv("GDK_GL", "disable");
        if (bridgeSetHere)
            qputenv("NO_AT_BRIDGE", "1");
        const bool initialised = gtk->initCheck(nullptr, nullptr);
        if (glSetHere)
            qunsetenv("GDK_GL");
        if (bridgeSetHere)
            qunsetenv("NO_AT_BRIDGE");
        if (!initialised)
            return nullptr;
        return std::unique_ptr<GtkThemeWindow>(new GtkThemeWindow(*gtk));
    }

    std::optional<DesktopColor> backgroundColor() const {
        takePendingSettingChanges();
        GdkRGBA rgba;
        if (!gtk.lookupColor(gtk.styleContext(window), "theme_bg_color", &rgba))
            return std::nullopt;
        return DesktopColor{rgba.red, rgba.green, rgba.blue};
    }

private:
    explicit GtkThemeWindow(const Gtk& gtk) : gtk(gtk), window(gtk.windowNew(GTK_WINDOW_TOPLEVEL)) {}

    // A desktop theme switch reaches GTK as an XSETTINGS change on its own X
    // connection. Qt's event loop passes those events on only when it runs on
    // GLib's loop (not with QT_NO_GLIB), so hand them to GTK here or the old
    // theme could be read forever.
    void takePendingSettingChanges() const {
        while (GdkEvent* event = gtk.eventGet()) {
            gtk.mainDoEvent(event);
            gtk.eventFree(event);
        }
    }

    const Gtk& gtk;
    GtkWidget* window; // never shown; kept for the whole run
};

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

    std::optional<DesktopColor> backgroundColor() const {
        return window ? window->backgroundColor() : std::nullopt;
    }

private:
    GtkThemeProbe() : window(GtkThemeWindow::open()) {
        if (!window)
            qWarning() << "GTK cannot open the display; the desktop theme counts as light.";
        else
            qCDebug(lcStartup) << "The desktop theme is read through GTK";
    }

    std::unique_ptr<GtkThemeWindow> window;
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

namespace {
pid_t earlyProbePid = -1;
int earlyProbeAnswer = -1;

// The child's whole life: GTK alone, one byte ('d', 'l' or 'u' for unknown)
// through the pipe, and out without running anything of the parent's.
[[noreturn]] void runEarlyProbe(int answer) {
    char verdict = 'u';
    if (const std::unique_ptr<GtkThemeWindow> window = GtkThemeWindow::open()) {
        if (const std::optional<DesktopColor> color = window->backgroundColor())
            verdict = isDarkBackground(color->red, color->green, color->blue) ? 'd' : 'l';
    }
    while (::write(answer, &verdict, 1) < 0 && errno == EINTR) {
    }
    ::_exit(0);
}
} // namespace

bool startEarlyThemeProbe() {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return false;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A probe that hangs on the display ends with the program.
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
            ::_exit(0);
        ::close(pipe[0]);
        runEarlyProbe(pipe[1]);
    }
    ::close(pipe[1]);
    if (pid < 0) {
        ::close(pipe[0]);
        return false;
    }
    earlyProbePid = pid;
    earlyProbeAnswer = pipe[0];
    return true;
}

std::optional<bool> takeEarlyThemeVerdict(int timeoutMs) {
    if (earlyProbePid < 0)
        return std::nullopt;
    char verdict = 'u';
    pollfd ready{earlyProbeAnswer, POLLIN, 0};
    int polled;
    do {
        polled = ::poll(&ready, 1, timeoutMs);
    } while (polled < 0 && errno == EINTR);
    const bool answered = polled == 1 && ::read(earlyProbeAnswer, &verdict, 1) == 1;
    if (!answered) {
        qWarning() << "The desktop theme could not be read in time; it is read again shortly.";
        ::kill(earlyProbePid, SIGKILL);
    }
    while (::waitpid(earlyProbePid, nullptr, 0) < 0 && errno == EINTR) {
    }
    ::close(earlyProbeAnswer);
    earlyProbePid = -1;
    earlyProbeAnswer = -1;
    if (!answered)
        return std::nullopt;
    return verdict == 'd';
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

void applyEarlyVerdict(bool dark, QApplication& app, const std::function<void()>& announce) {
    if (!dark)
        return;
    app.setPalette(darkPalette(app.palette()));
    announce();
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* widget : widgets) {
        if (widget->testAttribute(Qt::WA_WState_Polished))
            repolish(*widget);
    }
}

void checkThemeChange(bool& lastAppliedDark, QApplication& app, MainWindow& window) {
    followDesktopTheme(lastAppliedDark, app, window, [&window] { emit window.themeChanged(); });
}
