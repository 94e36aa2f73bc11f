#include "apppalette.h"
#include "ui_mainwindow.h"

#include <QtTest>

#include <QAbstractButton>
#include <QBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTranslator>

// The main form is the contract between the window and every tab handler: the
// handlers find their widgets by object name and rely on the class and the
// initial state set here. Each row of the tables below is one promise.

namespace {

struct PropertyCheck {
    QString property; // a Qt property, or one of the pseudo properties of readState()
    QVariant expected;
    bool fixedText; // a sample value that must not go through translation
};

struct ObjectCheck {
    QString object;
    QString className;
    QString page; // the tab page the widget sits on (empty for layouts, menus, actions)
    QVector<PropertyCheck> properties;
};

using Props = QVector<PropertyCheck>;

PropertyCheck caption(const QString& property, const QString& text) {
    return {property, text, false};
}
PropertyCheck fixedText(const QString& text) {
    return {"text", text, true};
}
PropertyCheck is(const QString& property, const QVariant& value) {
    return {property, value, false};
}

const QString EnterFilter = QStringLiteral("Enter filter text...");

// Settings shared by the tables whose rows are 22 pixels high and whose header does not highlight.
Props rowTable(int columns) {
    return {is("columnCount", columns), is("rowCount", 0),
            is("headerItems", 0),       is("hheader.highlightSections", false),
            is("vheader.hidden", true), is("vheader.defaultSectionSize", 22)};
}

QVector<ObjectCheck> windowChecks() {
    QVector<ObjectCheck> checks = {
        {"MainWindow",
         "QMainWindow",
         "",
         {caption("windowTitle", "Tessmar"), is("size", QSize(720, 500)), is("minimumSize", QSize(720, 500)),
          is("sizePolicy.h", QSizePolicy::Preferred), is("sizePolicy.v", QSizePolicy::Minimum),
          is("windowIconLoaded", true), is("statusBar", false)}},
        {"centralwidget", "QWidget", "", {is("layout", "verticalLayout")}},
        {"verticalLayout", "QVBoxLayout", "", {is("margin.left", 9)}},
        {"tabWidgetMainTabs",
         "QTabWidget",
         "",
         {is("count", 8),
          is("currentIndex", 0),
          is("tabsClosable", false),
          is("styleSheet", ""),
          is("sizePolicy.h", QSizePolicy::Expanding),
          is("sizePolicy.v", QSizePolicy::Expanding),
          is("containedIn", "verticalLayout:0"),
          caption("tab.0", "Overview"),
          caption("tab.1", "Applications"),
          caption("tab.2", "Processes"),
          caption("tab.3", "Services"),
          caption("tab.4", "Cron Jobs"),
          caption("tab.5", "Networking"),
          caption("tab.6", "Users"),
          caption("tab.7", "Logs"),
          is("page.0", "tab_4"),
          is("page.1", "tab"),
          is("page.2", "tab_2"),
          is("page.3", "tab_3"),
          is("page.4", "tab_8"),
          is("page.5", "tab_5"),
          is("page.6", "tab_6"),
          is("page.7", "TabLogs")}},
        {"tabWidgetNetworkingTabs",
         "QTabWidget",
         "tab_5",
         {is("count", 3), is("currentIndex", 0), caption("tab.0", "Bandwidth Monitor"),
          caption("tab.1", "Packet Sniffer"), caption("tab.2", "Wireless"),
          is("page.0", "tabWidgetNetworkingBandwidthMonitor"),
          is("page.1", "tabWidgetNetworkingPacketSniffer"), is("page.2", "tabWidgetNetworkingWireless"),
          is("containedIn", "verticalLayout_41:0")}},
        {"tabWidgetLogsTabs",
         "QTabWidget",
         "TabLogs",
         {is("count", 8),
          is("currentIndex", 0),
          is("styleSheet", "QLabel {\ncolor: #0007cd;\n}"),
          caption("tab.0", "Syslog"),
          caption("tab.1", "Auth.log"),
          caption("tab.2", "Kern.log"),
          caption("tab.3", "Dmesg"),
          caption("tab.4", "Boot.log"),
          caption("tab.5", "Userlog"),
          caption("tab.6", "Deb apps"),
          caption("tab.7", "Flatpak apps"),
          is("page.0", "tabLogsSyslog"),
          is("page.1", "tabLogsAuthlog"),
          is("page.2", "tabLogsKernlog"),
          is("page.3", "tabLogsDmesg"),
          is("page.4", "tabLogsBootlog"),
          is("page.5", "tabLogsFaillog"),
          is("page.6", "tabLogsDpkglog"),
          is("page.7", "tab_7"),
          is("containedIn", "verticalLayout_30:0")}},
        {"menubar",
         "QMenuBar",
         "",
         {is("geometry", QRect(0, 0, 720, 21)), is("defaultUp", false),
          is("actions", "menuFile,menuOptions,menuView,menuHelp")}},
        {"menuFile", "QMenu", "", {caption("title", "&File"), is("actions", "actionNew_Task,actionQuit")}},
        {"menuOptions", "QMenu", "", {caption("title", "&Options"), is("actions", "actionKeep_On_Top")}},
        {"menuView",
         "QMenu",
         "",
         {caption("title", "&View"), is("actions", "menuGraph_Colors,menuGraph_Speed")}},
        {"menuGraph_Colors",
         "QMenu",
         "",
         {caption("title", "Theme"), is("actions", "actionAperture,actionGreen")}},
        {"menuGraph_Speed",
         "QMenu",
         "",
         {caption("title", "Update Speed"),
          is("actions", "actionPaused,actionSlow,actionMedium,actionFast")}},
        {"menuHelp", "QMenu", "", {caption("title", "&Help"), is("actions", "actionAbout")}},
    };
    const QVector<std::tuple<QString, QString, bool>> actions = {{"actionAperture", "Aperture Amber", true},
                                                                 {"actionGreen", "Terminal Green", true},
                                                                 {"actionKeep_On_Top", "Keep On Top", true},
                                                                 {"actionSlow", "Slow", true},
                                                                 {"actionMedium", "Medium", true},
                                                                 {"actionFast", "Fast", true},
                                                                 {"actionNew_Task", "New Task...", false},
                                                                 {"actionQuit", "Quit", false},
                                                                 {"actionAbout", "About", false},
                                                                 {"actionPaused", "Paused", true}};
    for (const auto& [name, text, checkable] : actions)
        checks.append({name,
                       "QAction",
                       "",
                       {caption("text", text), is("checkable", checkable), is("checked", false),
                        is("shortcut", QKeySequence()), is("iconLoaded", false)}});
    return checks;
}

QVector<ObjectCheck> overviewChecks() {
    QVector<ObjectCheck> checks = {
        {"tab_4", "QWidget", "tab_4", {is("styleSheet", "QWidget {\n\tpadding: 0 8px;\n}")}},
        {"verticalLayout_24", "QVBoxLayout", "", {is("margin.left", 9), is("margin.right", 9)}},
        {"verticalLayout_21", "QVBoxLayout", "", {is("stretches", "4,10,0")}},
        {"horizontalLayout_4", "QHBoxLayout", "", {is("sizeConstraint", QLayout::SetFixedSize)}},
        {"horizontalLayout_5", "QHBoxLayout", "", {is("stretches", "8,9,7")}},
        {"gbHistory",
         "QGroupBox",
         "tab_4",
         {caption("title", "CPU History"), is("minimumSize", QSize(650, 145)), is("flat", false),
          is("checkable", false), is("sizePolicy.v", QSizePolicy::Expanding)}},
        {"fCPUUsagePlot",
         "QFrame",
         "tab_4",
         {is("frameShape", QFrame::StyledPanel), is("frameShadow", QFrame::Raised), is("layout", ""),
          is("containedIn", "gridLayout:0")}},
        {"labelDiskIOSpeed",
         "QLabel",
         "tab_4",
         {fixedText("10MB/s"), is("geometry", QRect(580, 10, 62, 16)), is("parent", "fCPUUsagePlot")}},
        {"labelNetworkIOSpeed",
         "QLabel",
         "tab_4",
         {fixedText("10MB/s"), is("geometry", QRect(580, 32, 62, 16)), is("parent", "fCPUUsagePlot")}},
        {"groupBox_8",
         "QGroupBox",
         "tab_4",
         {caption("title", "Software"), is("minimumSize", QSize(220, 141))}},
        {"groupBox_9",
         "QGroupBox",
         "tab_4",
         {caption("title", "Hardware"), is("minimumSize", QSize(201, 141))}},
        {"groupBox_10",
         "QGroupBox",
         "tab_4",
         {caption("title", "Statistics"), is("minimumSize", QSize(208, 141))}},
        {"label", "QLabel", "tab_4", {is("font.family", "DejaVu Sans"), is("font.bold", true)}},
        {"labelOSName", "QLabel", "tab_4", {is("font.bold", true), is("indent", -1)}},
        {"labelGPU", "QLabel", "tab_4", {is("focusPolicy", Qt::ClickFocus)}},
    };
    const QVector<std::tuple<QString, QString, QString, int, QString>> bars = {
        {"CPU", "CPU", "Current load of the CPU (Central Processing Unit)", 55, "%p%"},
        {"GPU", "GPU", "Current load of the GPU (Graphics Processing Unit)", 28, "%p%"},
        {"RAM", "RAM", "RAM currently in use", 13, "%p%"},
        {"DiskIO", "Disk I/O", "Disk input/output activity", 0, "%vMB/s"},
        {"NetworkIO", "Network I/O", "Network input/output activity", 0, "%vKb/s"},
        {"Temps", "Temps", "Shows the highest current temperature available", 46, QString::fromUtf8("%p°C")}};
    for (const auto& [key, title, tip, value, format] : bars) {
        checks.append({"gb" + key,
                       "ClickableGroupBox",
                       "tab_4",
                       {caption("title", title), caption("toolTip", tip), is("minimumSize", QSize(100, 102)),
                        is("maximumSize", QSize(16777215, 1000)), is("cursor", int(Qt::PointingHandCursor)),
                        is("checkable", false), is("flat", false)}});
        checks.append({"frame" + key,
                       "QFrame",
                       "tab_4",
                       {is("parent", "gb" + key), is("frameShape", QFrame::WinPanel),
                        is("frameShadow", QFrame::Sunken), is("lineWidth", 0)}});
        // The default format stays Qt's own and is not a caption of the form.
        const PropertyCheck formatCheck = key == "CPU" || key == "GPU" || key == "RAM"
                                              ? PropertyCheck{"format", format, true}
                                              : caption("format", format);
        checks.append(
            {"pb" + key,
             "QProgressBar",
             "tab_4",
             {is("parent", "frame" + key), is("value", value), is("minimum", 0), is("maximum", 100),
              is("orientation", Qt::Vertical), is("textVisible", true), is("invertedAppearance", false),
              is("alignment", int(Qt::AlignHCenter | Qt::AlignBottom)), formatCheck}});
    }
    checks.append({"gbCPU", "ClickableGroupBox", "tab_4", {is("font.bold", true)}});
    checks.append({"pbDiskIO", "QProgressBar", "tab_4", {is("textDirection", QProgressBar::TopToBottom)}});

    const QVector<std::tuple<QString, QString, QString, QString>> info = {
        {"label", "OS:", "labelOSName", "OS name"},
        {"label_3", "Version:", "labelOSVersion", "OS version"},
        {"label_9", "Based On:", "labelBasedOn", "Based on"},
        {"label_5", "Kernel:", "labelKernel", "Kernel version"},
        {"label_17", "GPU Driver:", "labelGPUDriver", "GPU driver"},
        {"label_11", "Desktop Env:", "labelDesktopEnvironment", "Desktop env"},
        {"label_13", "Win Manager:", "labelWindowManager", "Window man"},
        {"label_43", "Sound Server:", "labelSoundServer", "Sound server name"},
        {"label_2", "Product:", "labelSystemModelAndManufacturer", "PC/Laptop model"},
        {"label_15", "Mobo:", "labelMotherboard", "Mobo name & manufacturer"},
        {"label_19", "CPU:", "labelCPUModel", "CPU model name"},
        {"label_21", "Cores:", "labelCPUCoresAndThreads", "x (xx Threads), x.xx GHz"},
        {"label_23", "RAM:", "labelRAMInfo", "xGB DDR4 (x units)"},
        {"label_29", "GPU:", "labelGPU", "Graphic card model"},
        {"label_25", "Storage:", "labelStorage", "1 TB SSD, 1 TB HDD"},
        {"label_7", "Audio:", "labelAudioDevice", "Audio device"},
        {"label_27", "Uptime:", "labelUptime", "0D 00:00:00"},
        {"label_76", "RAM:", "labelRamUsage", "XXX GB/X.X GB"},
        {"label_78", "Swap:", "labelSwapUsage", "XX MB/X GB"},
        {"label_31", "Procs/Threads:", "labelProcsThreads", "0/0"},
        {"label_39", "Applications:", "labelApplications", "0"},
        {"label_41", "Services:", "labelServices", "0"},
        {"label_37", "Cron Jobs:", "labelCronJobs", "0"},
        {"label_33", "Active Users:", "labelActiveUsers", "0"}};
    const int selectable = int(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
    for (int row = 0; row < info.size(); ++row) {
        const auto& [captionName, captionText, valueName, valueText] = info[row];
        // Captions and values sit in two columns per box, row for row.
        static const char* captionColumns[] = {"verticalLayout_19", "verticalLayout_17", "verticalLayout_15"};
        static const char* valueColumns[] = {"verticalLayout_20", "verticalLayout_18", "verticalLayout_16"};
        const QString place = ":" + QString::number(row % 8);
        checks.append({captionName,
                       "QLabel",
                       "tab_4",
                       {caption("text", captionText), is("containedIn", captionColumns[row / 8] + place)}});
        checks.append({valueName,
                       "QLabel",
                       "tab_4",
                       {fixedText(valueText), is("textInteractionFlags", selectable),
                        is("containedIn", valueColumns[row / 8] + place)}});
    }
    for (const QString area : {"scrollArea", "scrollArea_2", "scrollArea_3"})
        checks.append({area,
                       "QScrollArea",
                       "tab_4",
                       {is("horizontalScrollBarPolicy", Qt::ScrollBarAlwaysOff),
                        is("verticalScrollBarPolicy", Qt::ScrollBarAlwaysOff), is("widgetResizable", true)}});
    return checks;
}

QVector<ObjectCheck> applicationsAndProcessesChecks() {
    const int noEdit = int(QAbstractItemView::NoEditTriggers);
    return {
        {"tableApplications",
         "QTableWidget",
         "tab",
         {is("columnCount", 2),
          is("rowCount", 8),
          is("headerItems", 0),
          is("enabled", true),
          is("focusPolicy", Qt::ClickFocus),
          is("frameShape", QFrame::StyledPanel),
          is("autoScrollMargin", 16),
          is("editTriggers", noEdit),
          is("alternatingRowColors", true),
          is("selectionMode", QAbstractItemView::SingleSelection),
          is("selectionBehavior", QAbstractItemView::SelectRows),
          is("iconSize", QSize(32, 32)),
          is("textElideMode", Qt::ElideRight),
          is("verticalScrollMode", QAbstractItemView::ScrollPerItem),
          is("showGrid", true),
          is("gridStyle", int(Qt::SolidLine)),
          is("sortingEnabled", true),
          is("wordWrap", true),
          is("cornerButtonEnabled", true),
          is("hheader.hidden", false),
          is("hheader.cascadingSectionResizes", true),
          is("hheader.minimumSectionSize", 28),
          is("hheader.defaultSectionSize", 100),
          is("hheader.highlightSections", false),
          is("hheader.showSortIndicator", true),
          is("hheader.stretchLastSection", false),
          is("vheader.hidden", true),
          is("vheader.minimumSectionSize", 19),
          is("vheader.defaultSectionSize", 36),
          is("vheader.highlightSections", true),
          is("containedIn", "verticalLayout_27:0")}},
        {"horizontalLayout_10",
         "QHBoxLayout",
         "",
         {is("items", "spacer,pushButtonCloseApp,pushButtonSwitchTo,pushButtonNewTask")}},
        {"pushButtonCloseApp",
         "QPushButton",
         "tab",
         {caption("text", "Close App"), is("enabled", false), is("flat", false)}},
        {"pushButtonSwitchTo", "QPushButton", "tab", {caption("text", "Switch To"), is("enabled", false)}},
        {"pushButtonNewTask", "QPushButton", "tab", {caption("text", "New Task..."), is("enabled", true)}},
        {"tableProcesses", "QTableWidget", "tab_2",
         rowTable(5) +
             Props{is("focusPolicy", Qt::ClickFocus), is("editTriggers", noEdit),
                   is("alternatingRowColors", true), is("selectionBehavior", QAbstractItemView::SelectRows),
                   is("selectionMode", QAbstractItemView::ExtendedSelection), is("iconSize", QSize(18, 18)),
                   is("gridStyle", int(Qt::SolidLine)), is("sortingEnabled", true),
                   is("hheader.minimumSectionSize", 28), is("containedIn", "verticalLayout_28:0")}},
        {"horizontalLayout_11",
         "QHBoxLayout",
         "",
         {is("items", "checkBoxShowProcessesFromAllUsers,spacer,label_4,lineEditProcessFilter,spacer,label_6,"
                      "labelNumberOfProcesses"),
          is("stretches", "0,0,0,10,0,0,0")}},
        {"checkBoxShowProcessesFromAllUsers",
         "QCheckBox",
         "tab_2",
         {caption("text", "Show processes from all users"), is("checked", false)}},
        {"label_4", "QLabel", "tab_2", {caption("text", "Filter:")}},
        {"lineEditProcessFilter",
         "QLineEdit",
         "tab_2",
         {caption("placeholderText", EnterFilter), is("clearButtonEnabled", true), is("minimumWidth", 200),
          is("text", "")}},
        {"label_6", "QLabel", "tab_2", {caption("text", "Entries:")}},
        {"labelNumberOfProcesses", "QLabel", "tab_2", {fixedText("0")}},
    };
}

QVector<ObjectCheck> servicesAndCronJobsChecks() {
    const int noEdit = int(QAbstractItemView::NoEditTriggers);
    return {
        {"tableServices", "QTableWidget", "tab_3",
         rowTable(3) + Props{is("focusPolicy", Qt::ClickFocus), is("editTriggers", noEdit),
                             is("selectionMode", QAbstractItemView::SingleSelection),
                             is("selectionBehavior", QAbstractItemView::SelectRows),
                             is("iconSize", QSize(16, 16)), is("sortingEnabled", false),
                             is("alternatingRowColors", false)}},
        {"horizontalLayout_12",
         "QHBoxLayout",
         "",
         {is("items", "checkBoxShowFailedServices,spacer,lineEditServicesFilter,spacer,label_8,"
                      "labelNumberOfServices")}},
        {"checkBoxShowFailedServices",
         "QCheckBox",
         "tab_3",
         {caption("text", "Show other types"), is("checked", false), is("focusPolicy", Qt::WheelFocus)}},
        {"lineEditServicesFilter",
         "QLineEdit",
         "tab_3",
         {caption("placeholderText", EnterFilter), is("clearButtonEnabled", true),
          is("focusPolicy", Qt::ClickFocus)}},
        {"label_8", "QLabel", "tab_3", {caption("text", "Entries:")}},
        {"labelNumberOfServices", "QLabel", "tab_3", {fixedText("0")}},
        {"labelCronJobsInfo",
         "QLabel",
         "tab_8",
         {caption("text",
                  "Cron Jobs are scheduled tasks in Linux, like Windows Task Scheduler, running commands "
                  "at set times."),
          is("styleSheet", "QLabel {\ncolor: #0007cd;\n}"), is("containedIn", "verticalLayout_32:0")}},
        {"tableCronJobs", "QTableWidget", "tab_8",
         rowTable(4) + Props{is("focusPolicy", Qt::ClickFocus), is("editTriggers", noEdit),
                             is("alternatingRowColors", true),
                             is("selectionBehavior", QAbstractItemView::SelectRows),
                             is("selectionMode", QAbstractItemView::ExtendedSelection),
                             is("sortingEnabled", false), is("containedIn", "verticalLayout_32:1")}},
        {"horizontalLayout_14",
         "QHBoxLayout",
         "",
         {is("items", "lineEditCronJobsFilter,label_14,labelCronJobsEntries")}},
        {"lineEditCronJobsFilter",
         "QLineEdit",
         "tab_8",
         {caption("placeholderText", EnterFilter), is("clearButtonEnabled", true)}},
        {"label_14", "QLabel", "tab_8", {caption("text", "Entries:")}},
        {"labelCronJobsEntries", "QLabel", "tab_8", {fixedText("0")}},
    };
}

QVector<ObjectCheck> networkingChecks() {
    const QString bandwidth = "tabWidgetNetworkingBandwidthMonitor";
    const QString sniffer = "tabWidgetNetworkingPacketSniffer";
    const QString wireless = "tabWidgetNetworkingWireless";
    QVector<ObjectCheck> checks = {
        {"verticalLayout_44", "QVBoxLayout", "", {is("stretches", "0,1,0")}},
        {"groupBoxNetworkingBandwidthMonitorNetworkInterfaces",
         "QGroupBox",
         bandwidth,
         {caption("title", "Select Network Interface"), is("layout", "horizontalLayout_24")}},
        {"groupBoxNetworkingGraphs",
         "QGroupBox",
         bandwidth,
         {caption("title", "Network Traffic"), is("layout", "horizontalLayout_23")}},
        {"horizontalLayout_23",
         "QHBoxLayout",
         "",
         {is("items", "frameNetworkingRX,frameNetworkingTX"), is("stretches", "1,1"),
          is("direction", QBoxLayout::LeftToRight)}},
        {"frameNetworkingRX",
         "QFrame",
         bandwidth,
         {is("frameShape", QFrame::StyledPanel), is("frameShadow", QFrame::Raised), is("layout", "")}},
        {"frameNetworkingTX",
         "QFrame",
         bandwidth,
         {is("frameShape", QFrame::StyledPanel), is("frameShadow", QFrame::Raised), is("layout", "")}},
        {"labelNetworkingDownload",
         "QLabel",
         bandwidth,
         {caption("text", "Download (RX)"), is("geometry", QRect(10, 10, 71, 16)),
          is("parent", "frameNetworkingRX")}},
        {"labelNetworkingDownloadSpeed",
         "QLabel",
         bandwidth,
         {fixedText("TextLabel"), is("geometry", QRect(230, 10, 71, 16)), is("parent", "frameNetworkingRX")}},
        {"labelNetworkingUpload",
         "QLabel",
         bandwidth,
         {caption("text", "Upload (TX)"), is("geometry", QRect(10, 10, 61, 16)),
          is("parent", "frameNetworkingTX")}},
        {"labelNetworkingUploadSpeed",
         "QLabel",
         bandwidth,
         {fixedText("TextLabel"), is("geometry", QRect(230, 10, 71, 16)), is("parent", "frameNetworkingTX")}},
        {"groupBox_2",
         "QGroupBox",
         bandwidth,
         {caption("title", "Data Traffic"), is("minimumSize", QSize(0, 100))}},
        {"groupBox_3",
         "QGroupBox",
         bandwidth,
         {caption("title", "Bandwidth && Speed"), is("shownTitle", "Bandwidth & Speed"), is("mnemonic", ""),
          is("minimumSize", QSize(260, 0))}},
        {"groupBox_4",
         "QGroupBox",
         bandwidth,
         {caption("title", "Health && Errors"), is("shownTitle", "Health & Errors"), is("mnemonic", "")}},
        {"label_46", "QLabel", bandwidth, {caption("text", ""), is("gridCell", "gridLayout_2:0,0")}},
    };
    // Statistics grids: row name in column 0, RX in 1, TX in 2.
    const QVector<std::tuple<QString, QVector<std::tuple<QString, QString, QString, QString, QString>>>>
        grids = {{"gridLayout_2",
                  {{"", "", "label_47", "label_49", ""},
                   {"label_51", "Bytes", "Bytes", "1.26GB", "59.39MB"},
                   {"label_55", "Packets", "Packets", "-", "0"},
                   {"label_48", "Multicast", "Multicast", "0", "0"},
                   {"label_50", "Broadcast", "Broadcast", "0", "0"},
                   {"label_89", "Compressed", "Compressed", "-", "0"}}},
                 {"gridLayout_3",
                  {{"", "", "label_59", "label_60", ""},
                   {"label_58", "Bandwidth", "Bandwidth", "0", "0"},
                   {"label_61", "Throughput", "Throughput", "0", "0"},
                   {"label_62", "Packets/s", "PacketsPerSecond", "0", "0"},
                   {"label_63", "Avg Speed", "AverageSpeed", "0", "0"},
                   {"label_92", "Peak Speed", "PeakSpeed", "0", "0"}}},
                 {"gridLayout_4",
                  {{"", "", "label_66", "label_67", ""},
                   {"label_65", "Errors", "Errors", "0", "0"},
                   {"label_68", "Collisions", "Collisions", "0", "0"},
                   {"label_69", "Dropped", "Dropped", "0", "0"},
                   {"label_70", "Overruns", "Overruns", "0", "0"},
                   {"label_95", "Fifo Errors", "FifoErrors", "0", "0"}}}};
    const int centred = int(Qt::AlignCenter);
    for (const auto& [grid, rows] : grids) {
        for (int row = 0; row < rows.size(); ++row) {
            const auto& [nameLabel, name, key, rx, tx] = rows[row];
            const QString cell = grid + ":%1,%2";
            if (row == 0) {
                checks.append(
                    {key,
                     "QLabel",
                     bandwidth,
                     {fixedText("RX"), is("alignment", centred), is("gridCell", cell.arg(0).arg(1))}});
                checks.append(
                    {rx,
                     "QLabel",
                     bandwidth,
                     {fixedText("TX"), is("alignment", centred), is("gridCell", cell.arg(0).arg(2))}});
                continue;
            }
            checks.append({nameLabel,
                           "QLabel",
                           bandwidth,
                           {caption("text", name), is("gridCell", cell.arg(row).arg(0))}});
            checks.append({"labelNetworking" + key + "RX",
                           "QLabel",
                           bandwidth,
                           {fixedText(rx), is("alignment", centred), is("gridCell", cell.arg(row).arg(1))}});
            checks.append({"labelNetworking" + key + "TX",
                           "QLabel",
                           bandwidth,
                           {fixedText(tx), is("alignment", centred), is("gridCell", cell.arg(row).arg(2))}});
        }
    }

    checks += {
        {"groupBoxNetworkingPacketSnifferNetworkInterfaces",
         "QGroupBox",
         sniffer,
         {caption("title", "Select Network Interface"), is("layout", "horizontalLayout_32")}},
        {"verticalLayout_47",
         "QVBoxLayout",
         "",
         {is("items", "groupBoxNetworkingPacketSnifferNetworkInterfaces,splitterPacketListAndDetails,"
                      "horizontalLayout_31")}},
        {"splitterPacketListAndDetails",
         "QSplitter",
         sniffer,
         {is("orientation", Qt::Vertical), is("opaqueResize", true), is("handleWidth", 6),
          is("childrenCollapsible", true), is("frameShape", QFrame::NoFrame),
          is("sizePolicy.v", QSizePolicy::MinimumExpanding),
          is("children", "groupBox_1323,groupBoxNetworkingPacketSnifferDetails")}},
        {"groupBox_1323", "QGroupBox", sniffer, {caption("title", "Packet List")}},
        {"treeWidgetNetworkingPacketSnifferPacketListTree",
         "QTreeWidget",
         sniffer,
         {is("columnCount", 6), is("focusPolicy", Qt::ClickFocus),
          is("editTriggers", int(QAbstractItemView::NoEditTriggers)), is("alternatingRowColors", true),
          is("sortingEnabled", true), is("animated", true), is("topLevelItemCount", 0),
          caption("header.0", "Application"), caption("header.1", "Timestamp"),
          caption("header.2", "Source IP"), caption("header.3", "Destination IP"),
          caption("header.4", "Protocol"), caption("header.5", "Length")}},
        {"groupBoxNetworkingPacketSnifferDetails",
         "QGroupBox",
         sniffer,
         {caption("title", "Packet Details"), is("layout", "verticalLayout_50")}},
        {"verticalLayout_50",
         "QVBoxLayout",
         "",
         {is("items", "gridLayout_7,horizontalLayout_30"), is("stretches", "0,1")}},
        {"groupBoxNetworkingPacketSnifferHEX",
         "QGroupBox",
         sniffer,
         {caption("title", "Packet Content (HEX)"), is("styleSheet", ""),
          is("containedIn", "horizontalLayout_30:0")}},
        {"groupBoxNetworkingPacketSnifferASCII",
         "QGroupBox",
         sniffer,
         {caption("title", "Packet Content (ASCII)"), is("containedIn", "horizontalLayout_30:1")}},
        {"plainTextEditNetworkingPacketSnifferHEX",
         "CustomPlainTextEdit",
         sniffer,
         {is("font.family", "DejaVu Sans Mono"), is("tabChangesFocus", true),
          is("textInteractionFlags", int(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard)),
          is("plainText", "")}},
        {"plainTextEditNetworkingPacketSnifferASCII",
         "CustomPlainTextEdit",
         sniffer,
         {is("font.family", "DejaVu Sans Mono"), is("tabChangesFocus", true), is("readOnly", true),
          is("lineWrapMode", QPlainTextEdit::WidgetWidth),
          is("textInteractionFlags", int(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard))}},
        {"horizontalLayout_31",
         "QHBoxLayout",
         "",
         {is("items", "pushButtonNetworkingPacketSnifferRecordStop,pushButtonNetworkingPacketSnifferClear,"
                      "pushButtonNetworkingPacketSnifferSave,checkBoxNetworkingPacketSnifferTCP,"
                      "checkBoxNetworkingPacketSnifferUDP,label_53,lineEditNetworkingPacketSnifferFilter")}},
        {"pushButtonNetworkingPacketSnifferRecordStop",
         "QPushButton",
         sniffer,
         {caption("text", "Record"), is("enabled", true), is("icon", ":/icons/record")}},
        {"pushButtonNetworkingPacketSnifferClear",
         "QPushButton",
         sniffer,
         {caption("text", "Clear"), is("enabled", false), is("icon", ":/icons/clear")}},
        {"pushButtonNetworkingPacketSnifferSave",
         "QPushButton",
         sniffer,
         {caption("text", "Save"), is("enabled", false), is("icon", ":/icons/save")}},
        {"checkBoxNetworkingPacketSnifferTCP",
         "QCheckBox",
         sniffer,
         {caption("text", "TCP"), is("checked", true)}},
        {"checkBoxNetworkingPacketSnifferUDP",
         "QCheckBox",
         sniffer,
         {caption("text", "UDP"), is("checked", true)}},
        {"label_53", "QLabel", sniffer, {caption("text", "Filter:")}},
        {"lineEditNetworkingPacketSnifferFilter",
         "QLineEdit",
         sniffer,
         {is("clearButtonEnabled", true), is("placeholderText", "")}},
    };
    const QVector<std::tuple<int, int, QString, QString, QString>> fields = {
        {0, 1, "label_54", "Source MAC:", "SourceMAC"},
        {0, 4, "label_71", "TTL:", "TTL"},
        {0, 7, "label_75", "Seq Number:", "SequenceNumber"},
        {0, 10, "label_57", "Checksum (IP):", "IPLayerChecksum"},
        {1, 1, "label_77", "Dest MAC:", "DestinationMAC"},
        {1, 4, "label_81", "ID Field:", "IDField"},
        {1, 7, "label_90", "Ack Number:", "AcknowledgmentNumber"},
        {1, 10, "label_73", "Checksum (TCP):", "TCPUDPLayerChecksum"},
        {3, 1, "label_79", "Ether Type:", "EtherType"},
        {3, 4, "label_83", "Flags:", "Flags"},
        {3, 7, "label_93", "Window Size:", "WindowSize"}};
    for (const auto& [row, column, captionName, text, key] : fields) {
        const QString cell = QString("gridLayout_7:%1,%2").arg(row);
        checks.append(
            {captionName, "QLabel", sniffer, {caption("text", text), is("gridCell", cell.arg(column))}});
        checks.append({"labelNetworkingPacketSniffer" + key,
                       "QLabel",
                       sniffer,
                       {fixedText("N/A"), is("gridCell", cell.arg(column + 1))}});
    }

    checks += {
        {"groupBox_7", "QGroupBox", wireless, {caption("title", "Select Wi-Fi Interface")}},
        {"comboBoxNetworkingWirelessSelectWifiInterface",
         "QComboBox",
         wireless,
         {is("count", 0), is("currentText", ""), is("containedIn", "horizontalLayout_29:0")}},
        {"groupBox_5", "QGroupBox", wireless, {caption("title", "Signal Level")}},
        {"progressBarLinkQuality",
         "QProgressBar",
         wireless,
         {is("orientation", Qt::Vertical), is("minimum", 0), is("maximum", 100), is("value", 24),
          is("alignment", int(Qt::AlignCenter)), is("minimumSize", QSize(160, 0)),
          is("sizePolicy.v", QSizePolicy::Expanding)}},
        {"groupBox",
         "QGroupBox",
         wireless,
         {caption("title", "Connection Info"), is("layout", "gridLayout_6")}},
        {"groupBox_6",
         "QGroupBox",
         wireless,
         {caption("title", "Wi-Fi Router Info"), is("layout", "gridLayout_5")}},
    };
    const QVector<std::tuple<QString, int, int, QString, QString, QString, QString>> wirelessLabels = {
        {"gridLayout_6", 0, 0, "label_64", "Status:", "ConnectionStatus", "Connected"},
        {"gridLayout_6", 1, 0, "label_52", "SSID:", "SSID", "MyHomeWiFi"},
        {"gridLayout_6", 3, 0, "label_72", "IP Address:", "IPAddress", "192.168.0.101"},
        {"gridLayout_6", 4, 0, "label_74", "Frequency:", "Frequency", "5 GHz"},
        {"gridLayout_6", 5, 0, "label_82", "Signal Quality:", "SignalQuality", "85%"},
        {"gridLayout_6", 6, 0, "label_84", "Signal Strength:", "SignalStrength", "-55 dBm"},
        {"gridLayout_6", 7, 0, "label_86", "Noise Level:", "NoiseLevel", "-95 dBm"},
        {"gridLayout_6", 8, 0, "label_88", "Encryption Type:", "EncryptionType", "WPA2"},
        {"gridLayout_6", 9, 0, "label_91", "MAC Address:", "MACAddress", "AB:CD:EF:12:34:56"},
        {"gridLayout_5", 0, 0, "label_101", "IP Address:", "RouterIPAddress", "192.168.1.1"},
        {"gridLayout_5", 0, 3, "label_106", "Channels:", "Channels", "36 (80 MHz)"},
        {"gridLayout_5", 0, 6, "label_110", "Encryption:", "EncryptionMethods", "WPA2"},
        {"gridLayout_5", 2, 0, "label_104", "BSSID:", "BSSID", "300 Mbps"},
        {"gridLayout_5", 2, 3, "label_98", "Frequencies:", "Frequencies", "2.4G, 5G"},
        {"gridLayout_5", 2, 6, "label_45", "Authentication:", "AuthenticationMethods", "AES, TKIP"},
        {"gridLayout_5", 4, 0, "label_102", "Vendor:", "Vendor", "TP-Link Archer C7"},
        {"gridLayout_5", 4, 3, "label_96", "Protocols:", "Protocols", "802.11b"},
        {"gridLayout_5", 4, 6, "label_56", "Uptime:", "Uptime", "1D 11:05:52"}};
    for (const auto& [grid, row, column, captionName, text, key, value] : wirelessLabels) {
        const QString cell = QString("%1:%2,%3").arg(grid).arg(row);
        checks.append(
            {captionName, "QLabel", wireless, {caption("text", text), is("gridCell", cell.arg(column))}});
        checks.append({"labelWireless" + key,
                       "QLabel",
                       wireless,
                       {fixedText(value), is("gridCell", cell.arg(column + 1))}});
    }
    return checks;
}

QVector<ObjectCheck> usersChecks() {
    return {
        {"listViewUsers",
         "CustomListView",
         "tab_6",
         {is("verticalScrollMode", QAbstractItemView::ScrollPerItem), is("movement", QListView::Static),
          is("containedIn", "verticalLayout_33:0")}},
        {"horizontalLayout_15",
         "QHBoxLayout",
         "",
         {is("items", "checkBoxShowAllUsers,lineEditUsersFilter,pushButtonAddUser,pushButtonEditUser,"
                      "pushButtonDeleteUser")}},
        {"checkBoxShowAllUsers",
         "QCheckBox",
         "tab_6",
         {caption("text", "Show all users"), is("checked", false), is("font.bold", true)}},
        {"lineEditUsersFilter",
         "QLineEdit",
         "tab_6",
         {caption("placeholderText", EnterFilter), is("clearButtonEnabled", true)}},
        {"pushButtonAddUser",
         "QPushButton",
         "tab_6",
         {caption("text", "Add User"), is("enabled", true), is("default", true), is("icon", ":/icons/add")}},
        {"pushButtonEditUser",
         "QPushButton",
         "tab_6",
         {caption("text", "Edit User"), is("enabled", false), is("default", false), is("flat", false),
          is("icon", ":/icons/edit")}},
        {"pushButtonDeleteUser",
         "QPushButton",
         "tab_6",
         {caption("text", "Delete User"), is("enabled", false), is("icon", ":/icons/delete")}},
    };
}

QVector<ObjectCheck> logsChecks() {
    struct LogPage {
        QString page, key, description, descriptionLabel, entriesCaption;
        int verticalLayout, horizontalLayout;
    };
    const QVector<LogPage> pages = {
        {"tabLogsSyslog", "SysLog",
         "Primary system log file where messages are logged by the system and system daemons.", "label_10",
         "label_12", 31, 13},
        {"tabLogsAuthlog", "AuthLog",
         "Authentication events, login attempts, user authentication and privilege escalation activities.",
         "label_18", "label_16", 34, 16},
        {"tabLogsKernlog", "KernLog",
         "Ongoing kernel activities, including hardware detection, drivers and system processes.", "label_20",
         "label_22", 35, 17},
        {"tabLogsDmesg", "DmesgLog",
         "Displays recent boot-time messages, focusing on hardware and driver initialization.", "label_24",
         "label_26", 36, 18},
        {"tabLogsBootlog", "BootLog",
         "The status and progress of services, drivers and hardware initialization during system startup.",
         "label_28", "label_30", 37, 19},
        {"tabLogsFaillog", "FailLog",
         "Records of failed login attempts and related login information for system users.", "label_32",
         "label_34", 38, 20},
        {"tabLogsDpkglog", "DpkgLog",
         "Lists installed, upgraded and removed Debian packages, with details on their version and status.",
         "label_38", "label_40", 39, 21},
        {"tab_7", "FlatpakLog",
         "Displays installed, updated and removed Flatpak applications, along with their version and status.",
         "label_42", "label_44", 40, 22}};
    const QString blue = "QLabel {\ncolor: #0007cd;\n}";
    QVector<ObjectCheck> checks;
    for (const LogPage& p : pages) {
        const bool packages = p.key == "DpkgLog" || p.key == "FlatpakLog";
        const bool boot = p.key == "BootLog";
        const QString vertical = QString("verticalLayout_%1").arg(p.verticalLayout);
        const QString horizontal = QString("horizontalLayout_%1").arg(p.horizontalLayout);
        const bool ownBlue = p.key == "SysLog" || p.key == "AuthLog" || p.key == "KernLog";
        checks.append({p.page, "QWidget", p.page, {is("layout", vertical)}});
        checks.append({p.descriptionLabel,
                       "QLabel",
                       p.page,
                       {caption("text", p.description), is("wordWrap", true),
                        is("styleSheet", ownBlue ? blue : QString()), is("containedIn", vertical + ":0")}});

        Props table = rowTable(5);
        table += {is("focusPolicy", p.key == "DpkgLog" ? Qt::StrongFocus : Qt::ClickFocus),
                  is("editTriggers", p.key == "FlatpakLog" ? int(QAbstractItemView::DoubleClicked |
                                                                 QAbstractItemView::EditKeyPressed |
                                                                 QAbstractItemView::AnyKeyPressed)
                                                           : int(QAbstractItemView::NoEditTriggers)),
                  is("selectionBehavior",
                     p.key == "AuthLog" ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows),
                  is("containedIn", vertical + ":1")};
        if (p.key == "SysLog")
            table += {is("alternatingRowColors", false), is("iconSize", QSize(16, 16)),
                      is("textElideMode", Qt::ElideRight), is("midLineWidth", 0)};
        checks.append({"tableLogs" + p.key, "QTableWidget", p.page, table});

        const QStringList suffixes =
            packages ? QStringList{"Install", "Upgrade", "Remove"} : QStringList{"Info", "Warning", "Error"};
        const QStringList texts =
            packages ? QStringList{"Install", p.key == "FlatpakLog" ? "Update" : "Upgrade", "Remove"}
            : boot   ? QStringList{"[ OK ]", "Warning", "[ FAILED ]"}
                     : QStringList{"Info", "Warning", "Error"};
        const QStringList icons =
            packages ? QStringList{":/icons/add", ":/icons/upgrade", ":/icons/remove"}
                     : QStringList{":/icons/information", ":/icons/warning", ":/icons/error"};
        QStringList rowItems;
        for (int i = 0; i < 3; ++i) {
            const QString name = "pushButtonLogs" + p.key + suffixes[i];
            rowItems << name;
            Props toggle = {caption("text", texts[i]), is("checkable", true), is("checked", true),
                            is("icon", icons[i]), is("font.bold", boot && i != 1)};
            if (boot)
                toggle += is("styleSheet", i == 0   ? "QPushButton {\ncolor: green;\n}"
                                           : i == 2 ? "QPushButton {\ncolor: red;\n}"
                                                    : "");
            checks.append({name, "QPushButton", p.page, toggle});
        }
        rowItems << "lineEditLogs" + p.key + "Filter"
                 << "pushButtonLogs" + p.key + "Reload" << p.entriesCaption
                 << "labelLogs" + p.key + "Entries";
        checks.append({horizontal, "QHBoxLayout", "", {is("items", rowItems.join(','))}});
        checks.append({vertical,
                       "QVBoxLayout",
                       "",
                       {is("items", p.descriptionLabel + ",tableLogs" + p.key + "," + horizontal)}});
        checks.append({"lineEditLogs" + p.key + "Filter",
                       "QLineEdit",
                       p.page,
                       {caption("placeholderText", EnterFilter), is("clearButtonEnabled", true)}});
        checks.append({"pushButtonLogs" + p.key + "Reload",
                       "QPushButton",
                       p.page,
                       {caption("text", "Reload"), is("enabled", true), is("checkable", false),
                        is("icon", ":/icons/reload")}});
        checks.append({p.entriesCaption, "QLabel", p.page, {caption("text", "Entries:")}});
        checks.append({"labelLogs" + p.key + "Entries", "QLabel", p.page, {fixedText("0")}});
    }
    checks.append({"label_10", "QLabel", "tabLogsSyslog", {is("cursor", int(Qt::ArrowCursor))}});
    return checks;
}

QVector<ObjectCheck> allChecks() {
    return windowChecks() + overviewChecks() + applicationsAndProcessesChecks() +
           servicesAndCronJobsChecks() + networkingChecks() + usersChecks() + logsChecks();
}

// ---- reading the state of a form object

QString mnemonicShown(const QString& text) {
    QString shown;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

QString nameOf(QLayoutItem* item) {
    if (item->widget())
        return item->widget()->objectName();
    if (item->layout())
        return item->layout()->objectName();
    return "spacer";
}

QLayout* layoutHolding(QWidget* widget, int* index) {
    QWidget* parent = widget->parentWidget();
    if (!parent)
        return nullptr;
    for (QLayout* layout : parent->findChildren<QLayout*>()) {
        const int at = layout->indexOf(widget);
        if (at >= 0) {
            *index = at;
            return layout;
        }
    }
    return nullptr;
}

// The tab page (a page of any tab widget) that holds the widget.
QString pageOf(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (w->parentWidget() && qobject_cast<QStackedWidget*>(w->parentWidget()) &&
            qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget()))
            return w->objectName();
    return QString();
}

QVariant readState(QObject* object, const QString& property) {
    auto* widget = qobject_cast<QWidget*>(object);
    auto* layout = qobject_cast<QLayout*>(object);
    const QStringList parts = property.split('.');
    if (parts.size() == 2 && (parts[0] == "hheader" || parts[0] == "vheader")) {
        auto* view = qobject_cast<QTableView*>(object);
        QHeaderView* header = parts[0] == "hheader" ? view->horizontalHeader() : view->verticalHeader();
        if (parts[1] == "hidden")
            return header->isHidden();
        return header->property(parts[1].toLatin1().constData());
    }
    if (parts[0] == "tab")
        return qobject_cast<QTabWidget*>(object)->tabText(parts[1].toInt());
    if (parts[0] == "page")
        return qobject_cast<QTabWidget*>(object)->widget(parts[1].toInt())->objectName();
    if (parts[0] == "header")
        return qobject_cast<QTreeWidget*>(object)->headerItem()->text(parts[1].toInt());
    if (parts[0] == "margin") {
        const QMargins m = layout->contentsMargins();
        return parts[1] == "left"    ? m.left()
               : parts[1] == "right" ? m.right()
               : parts[1] == "top"   ? m.top()
                                     : m.bottom();
    }
    if (parts[0] == "sizePolicy")
        return int(parts[1] == "h" ? widget->sizePolicy().horizontalPolicy()
                                   : widget->sizePolicy().verticalPolicy());
    if (parts[0] == "font")
        return parts[1] == "bold" ? QVariant(widget->font().bold()) : QVariant(widget->font().family());
    if (property == "headerItems") {
        auto* table = qobject_cast<QTableWidget*>(object);
        int items = 0;
        for (int c = 0; c < table->columnCount(); ++c)
            items += table->horizontalHeaderItem(c) != nullptr;
        return items;
    }
    if (property == "layout")
        return widget->layout() ? widget->layout()->objectName() : QString();
    if (property == "parent")
        return object->parent()->objectName();
    if (property == "containedIn") {
        int index = -1;
        QLayout* holder = layoutHolding(widget, &index);
        return holder ? QString("%1:%2").arg(holder->objectName()).arg(index) : QString();
    }
    if (property == "gridCell") {
        int index = -1;
        auto* grid = qobject_cast<QGridLayout*>(layoutHolding(widget, &index));
        if (!grid)
            return QString();
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        return QString("%1:%2,%3").arg(grid->objectName()).arg(row).arg(column);
    }
    if (property == "items") {
        QStringList names;
        for (int i = 0; i < layout->count(); ++i)
            names << nameOf(layout->itemAt(i));
        return names.join(',');
    }
    if (property == "stretches") {
        auto* box = qobject_cast<QBoxLayout*>(layout);
        QStringList stretches;
        for (int i = 0; i < box->count(); ++i)
            stretches << QString::number(box->stretch(i));
        return stretches.join(',');
    }
    if (property == "direction")
        return int(qobject_cast<QBoxLayout*>(layout)->direction());
    if (property == "sizeConstraint")
        return int(layout->sizeConstraint());
    if (property == "actions") {
        QStringList names;
        for (QAction* action : widget->actions())
            names << (action->menu() ? action->menu()->objectName() : action->objectName());
        return names.join(',');
    }
    if (property == "children") {
        auto* splitter = qobject_cast<QSplitter*>(object);
        QStringList names;
        for (int i = 0; i < splitter->count(); ++i)
            names << splitter->widget(i)->objectName();
        return names.join(',');
    }
    if (property == "shownTitle")
        return mnemonicShown(object->property("title").toString());
    if (property == "mnemonic")
        return QKeySequence::mnemonic(object->property("title").toString()).toString();
    if (property == "cursor")
        return int(widget->cursor().shape());
    if (property == "windowIconLoaded")
        return !widget->windowIcon().pixmap(QSize(32, 32)).isNull();
    if (property == "iconLoaded")
        return !qobject_cast<QAction*>(object)->icon().isNull();
    if (property == "statusBar")
        return object->findChild<QStatusBar*>() != nullptr;

    const QMetaObject* meta = object->metaObject();
    const int index = meta->indexOfProperty(property.toLatin1().constData());
    if (index < 0)
        return QVariant();
    const QMetaProperty metaProperty = meta->property(index);
    QVariant value = metaProperty.read(object);
    if (metaProperty.isEnumType() || metaProperty.isFlagType())
        return *static_cast<const int*>(value.constData());
    return value;
}

bool sameState(const QVariant& actual, const QVariant& expected) {
    if (expected.userType() == QMetaType::QString)
        return actual.toString() == expected.toString();
    if (expected.userType() == QMetaType::Int)
        return actual.toInt() == expected.toInt();
    return actual == expected;
}

QString describe(const QVariant& value) {
    if (value.userType() == QMetaType::QSize)
        return QString("%1x%2").arg(value.toSize().width()).arg(value.toSize().height());
    if (value.userType() == QMetaType::QRect) {
        const QRect r = value.toRect();
        return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    return value.toString().isEmpty() && value.canConvert<int>() ? QString::number(value.toInt())
                                                                 : value.toString();
}

QImage iconImage(const QIcon& icon) {
    return icon.pixmap(QSize(16, 16)).toImage();
}

// Wraps every text of the form's translation context, so a caption that
// bypasses translation (or a sample value that goes through it) shows.
class BracketTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* sourceText, const char*, int) const override {
        if (qstrcmp(context, "MainWindow") != 0)
            return QString();
        return "[" + QString::fromUtf8(sourceText) + "]";
    }
    bool isEmpty() const override { return false; }
};

bool isText(const PropertyCheck& check) {
    static const QStringList textProperties = {"text",    "title",       "placeholderText",
                                               "toolTip", "windowTitle", "format"};
    return check.expected.userType() == QMetaType::QString &&
           (textProperties.contains(check.property) || check.property.startsWith("tab.") ||
            check.property.startsWith("header."));
}

QString formPath() {
    return QStringLiteral(TESSMAR_TEST_DATA "/../../forms/mainwindow.ui");
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
    QMainWindow window;
    Ui::MainWindow ui;

private slots:
    void initTestCase() {
        // The resources live in a static library; nothing else pulls them in here.
        Q_INIT_RESOURCE(resources);
        ui.setupUi(&window);
    }

    void everyObjectExistsWithItsClassAndPage_data() {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("page");
        QSet<QString> seen;
        for (const ObjectCheck& check : allChecks()) {
            if (seen.contains(check.object))
                continue;
            seen.insert(check.object);
            QTest::newRow(qPrintable(check.object)) << check.object << check.className << check.page;
        }
    }
    void everyObjectExistsWithItsClassAndPage() {
        QFETCH(QString, object);
        QFETCH(QString, className);
        QFETCH(QString, page);
        QObject* found = object == "MainWindow" ? &window : window.findChild<QObject*>(object);
        QVERIFY2(found, "no object of that name");
        QCOMPARE(QString(found->metaObject()->className()), className);
        QCOMPARE(window.findChildren<QObject*>(object).size() + (object == "MainWindow"), 1);
        if (auto* widget = qobject_cast<QWidget*>(found); widget && !page.isEmpty())
            QCOMPARE(pageOf(widget), page);
    }

    void initialState_data() {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("expected");
        for (const ObjectCheck& check : allChecks())
            for (const PropertyCheck& property : check.properties)
                QTest::addRow("%s.%s", qPrintable(check.object), qPrintable(property.property))
                    << check.object << property.property << property.expected;
    }
    void initialState() {
        QFETCH(QString, object);
        QFETCH(QString, property);
        QFETCH(QVariant, expected);
        QObject* found = object == "MainWindow" ? &window : window.findChild<QObject*>(object);
        QVERIFY(found);
        if (property == "icon") {
            const QImage actual = iconImage(qobject_cast<QAbstractButton*>(found)->icon());
            QVERIFY(!actual.isNull());
            QCOMPARE(actual, iconImage(QIcon(expected.toString())));
            return;
        }
        const QVariant actual = readState(found, property);
        QVERIFY2(actual.isValid(), "unknown property");
        QVERIFY2(sameState(actual, expected),
                 qPrintable(QString("got '%1', expected '%2'").arg(describe(actual), describe(expected))));
    }

    // Captions go through the "MainWindow" translation context; sample values do not.
    void textsFollowTheCatalogue_data() {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("expected");
        for (const ObjectCheck& check : allChecks())
            for (const PropertyCheck& property : check.properties) {
                if (!isText(property))
                    continue;
                const QString source = property.expected.toString();
                const QString shown = property.fixedText || source.isEmpty() ? source : "[" + source + "]";
                QTest::addRow("%s.%s", qPrintable(check.object), qPrintable(property.property))
                    << check.object << property.property << shown;
            }
    }
    void textsFollowTheCatalogue() {
        QFETCH(QString, object);
        QFETCH(QString, property);
        QFETCH(QString, expected);
        static QMainWindow* translated = [] {
            static BracketTranslator translator;
            QCoreApplication::installTranslator(&translator);
            auto* w = new QMainWindow;
            static Ui::MainWindow form;
            form.setupUi(w);
            QCoreApplication::removeTranslator(&translator);
            return w;
        }();
        QObject* found = object == "MainWindow" ? translated : translated->findChild<QObject*>(object);
        QVERIFY(found);
        QCOMPARE(readState(found, property).toString(), expected);
    }

    void windowCannotShrinkBelowItsMinimum() {
        window.resize(300, 200);
        QCOMPARE(window.size(), QSize(720, 500));
        QCOMPARE(window.objectName(), QString("MainWindow"));
        QMainWindow named;
        named.setObjectName("Kept");
        Ui::MainWindow form;
        form.setupUi(&named);
        QCOMPARE(named.objectName(), QString("Kept"));
    }

    // Every ":/..." path the form names must load, and so must the icons
    // that the tab handlers take from the same resource tree.
    void everyNamedResourceLoads_data() {
        QTest::addColumn<QString>("path");
        QFile form(formPath());
        QVERIFY(form.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(form.readAll());
        QSet<QString> paths;
        QRegularExpressionMatchIterator it = QRegularExpression(":/icons/[A-Za-z0-9_.-]+").globalMatch(text);
        while (it.hasNext())
            paths.insert(it.next().captured(0));
        QVERIFY(paths.size() >= 13);
        for (const char* shared : {"cron.png", "info.png",     "warning.png", "error.png",  "info",
                                   "other",    "frame",        "hidden",      "visible",    "browse",
                                   "webcam",   "stock-images", "user-root",   "user-other", "user-system",
                                   "loop",     "ethernet",     "wifi",        "network",    "stop"})
            paths.insert(QString(":/icons/") + shared);
        for (const QString& path : paths)
            QTest::newRow(qPrintable(path)) << path;
    }
    void everyNamedResourceLoads() {
        QFETCH(QString, path);
        QVERIFY(QFile::exists(path));
        QImageReader reader(path);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QVERIFY(!QIcon(path).pixmap(16, 16).isNull());
    }

    void avatarFrameFitsTheTile() { QCOMPARE(QPixmap(":/icons/frame").size(), QSize(190, 190)); }

    // Shows every page and sub-page for real and grabs it. With
    // TESSMAR_SCREENSHOT_DIR set (scripts/screenshots) the pictures are kept.
    void everyPageRenders_data() {
        QTest::addColumn<int>("mainIndex");
        QTest::addColumn<QString>("innerTabs");
        QTest::addColumn<int>("innerIndex");
        const QStringList mainPages = {"overview", "applications", "processes", "services",
                                       "cronjobs", "networking",   "users",     "logs"};
        for (int i = 0; i < mainPages.size(); ++i)
            if (i != 5 && i != 7)
                QTest::newRow(qPrintable(mainPages[i])) << i << QString() << 0;
        const QStringList networking = {"bandwidth", "sniffer", "wireless"};
        for (int i = 0; i < networking.size(); ++i)
            QTest::newRow(qPrintable("networking-" + networking[i])) << 5 << "tabWidgetNetworkingTabs" << i;
        const QStringList logs = {"syslog",  "authlog", "kernlog", "dmesg",
                                  "bootlog", "userlog", "debapps", "flatpak"};
        for (int i = 0; i < logs.size(); ++i)
            QTest::newRow(qPrintable("logs-" + logs[i])) << 7 << "tabWidgetLogsTabs" << i;
    }
    void everyPageRenders() {
        QFETCH(int, mainIndex);
        QFETCH(QString, innerTabs);
        QFETCH(int, innerIndex);
        static bool shown = [this] {
            applyApplicationPalette(*qApp, false);
            // Other tests look for the program's window by its title.
            window.setWindowTitle("Tessmar form pictures");
            window.resize(1000, 720);
            window.show();
            return QTest::qWaitForWindowExposed(&window);
        }();
        QVERIFY(shown);
        ui.tabWidgetMainTabs->setCurrentIndex(mainIndex);
        if (!innerTabs.isEmpty())
            window.findChild<QTabWidget*>(innerTabs)->setCurrentIndex(innerIndex);
        QCoreApplication::processEvents();
        const QImage image = window.grab().toImage();
        QCOMPARE(image.size(), window.size() * window.devicePixelRatioF());

        // A page that failed to lay out or paint comes out (nearly) uniform.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4)
                colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));

        const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            QVERIFY(image.save(folder + "/" + QTest::currentDataTag() + ".png"));
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
