#include "apppalette.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QtTest>
#include <QtWidgets>

// The main form is the contract between the window and every tab handler: the
// handlers find their widgets by object name and rely on the class and the
// initial state set here. Each row of the tables below is one promise.

namespace {

struct PropertyCheck {
    QString property; // a Qt property, or one of the pseudo properties of TestSupport::readState()
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

// clang-format off
PropertyCheck is(const QString& property, const QVariant& value) { return {property, value, false}; }
PropertyCheck caption(const QString& property, const QString& text) { return {property, text, false}; }
PropertyCheck text(const QString& text) { return caption("text", text); }
PropertyCheck title(const QString& text) { return caption("title", text); }
PropertyCheck fixedText(const QString& text) { return {"text", text, true}; }
// clang-format on

const QString Blue = QStringLiteral("QLabel {\ncolor: #0007cd;\n}");
const int NoEdit = int(QAbstractItemView::NoEditTriggers);

// The search box of every list page.
Props filter() {
    return {caption("placeholderText", "Enter filter text..."), is("clearButtonEnabled", true)};
}

// Settings shared by the tables whose rows are 22 pixels high and whose header does not highlight.
Props rowTable(int columns) {
    return {is("columnCount", columns), is("rowCount", 0),
            is("headerItems", 0),       is("hheader.highlightSections", false),
            is("vheader.hidden", true), is("vheader.defaultSectionSize", 22)};
}

// Tables that are only read: a click focuses, whole rows are selected, nothing is edited.
Props readOnlyRows() {
    return {is("focusPolicy", Qt::ClickFocus), is("editTriggers", NoEdit),
            is("selectionBehavior", QAbstractItemView::SelectRows)};
}

// The caption and the page of every tab of a tab widget.
Props tabs(const QStringList& captions, const QStringList& pages) {
    Props checks;
    for (int i = 0; i < captions.size(); ++i)
        checks << caption(QString("tab.%1").arg(i), captions[i]) << is(QString("page.%1").arg(i), pages[i]);
    return checks;
}

// clang-format off
QVector<ObjectCheck> windowChecks() {
    QVector<ObjectCheck> checks = {
        {"MainWindow", "QMainWindow", "", {caption("windowTitle", "Tessmar"), is("size", QSize(720, 500)), is("minimumSize", QSize(720, 500)),
            is("sizePolicy.h", QSizePolicy::Preferred), is("sizePolicy.v", QSizePolicy::Minimum), is("windowIconLoaded", true), is("statusBar", false)}},
        {"centralwidget", "QWidget", "", {is("layout", "verticalLayout")}}, {"verticalLayout", "QVBoxLayout", "", {is("margin.left", 9)}},
        {"tabWidgetMainTabs", "QTabWidget", "", Props{is("count", 8), is("currentIndex", 0), is("tabsClosable", false), is("styleSheet", ""),
            is("sizePolicy.h", QSizePolicy::Expanding), is("sizePolicy.v", QSizePolicy::Expanding), is("containedIn", "verticalLayout:0")} +
            tabs({"Overview", "Applications", "Processes", "Services", "Cron Jobs", "Networking", "Users", "Logs"},
                 {"tab_4",    "tab",          "tab_2",     "tab_3",    "tab_8",     "tab_5",      "tab_6", "TabLogs"})},
        {"tabWidgetNetworkingTabs", "QTabWidget", "tab_5", Props{is("count", 3), is("currentIndex", 0), is("containedIn", "verticalLayout_41:0")} +
            tabs({"Bandwidth Monitor", "Packet Sniffer", "Wireless"},
                 {"tabWidgetNetworkingBandwidthMonitor", "tabWidgetNetworkingPacketSniffer", "tabWidgetNetworkingWireless"})},
        {"tabWidgetLogsTabs", "QTabWidget", "TabLogs", Props{is("count", 8), is("currentIndex", 0), is("styleSheet", Blue), is("containedIn", "verticalLayout_30:0")} +
            tabs({"Syslog",        "Auth.log",       "Kern.log",       "Dmesg",        "Boot.log",       "Userlog",        "Deb apps",       "Flatpak apps"},
                 {"tabLogsSyslog", "tabLogsAuthlog", "tabLogsKernlog", "tabLogsDmesg", "tabLogsBootlog", "tabLogsFaillog", "tabLogsDpkglog", "tab_7"})},
        {"menubar", "QMenuBar", "", {is("geometry", QRect(0, 0, 720, 21)), is("defaultUp", false), is("actions", "menuFile,menuOptions,menuView,menuHelp")}},
        {"menuFile",         "QMenu", "", {title("&File"),        is("actions", "actionNew_Task,actionQuit")}},
        {"menuOptions",      "QMenu", "", {title("&Options"),     is("actions", "actionKeep_On_Top")}},
        {"menuView",         "QMenu", "", {title("&View"),        is("actions", "menuGraph_Colors,menuGraph_Speed")}},
        {"menuGraph_Colors", "QMenu", "", {title("Theme"),        is("actions", "actionAperture,actionGreen")}},
        {"menuGraph_Speed",  "QMenu", "", {title("Update Speed"), is("actions", "actionPaused,actionSlow,actionMedium,actionFast")}},
        {"menuHelp",         "QMenu", "", {title("&Help"),        is("actions", "actionAbout")}},
    };
    const QVector<std::tuple<QString, QString, bool>> actions = {
        {"actionAperture", "Aperture Amber", true}, {"actionGreen", "Terminal Green", true}, {"actionKeep_On_Top", "Keep On Top", true}, {"actionPaused", "Paused", true},
        {"actionSlow", "Slow", true}, {"actionMedium", "Medium", true}, {"actionFast", "Fast", true},
        {"actionNew_Task", "New Task...", false}, {"actionQuit", "Quit", false}, {"actionAbout", "About", false}};
    for (const auto& [name, label, checkable] : actions)
        checks.append({name, "QAction", "", {text(label), is("checkable", checkable), is("checked", false), is("shortcut", QKeySequence()), is("iconLoaded", false)}});
    return checks;
}

QVector<ObjectCheck> overviewChecks() {
    const Props noScrollBars = {is("horizontalScrollBarPolicy", Qt::ScrollBarAlwaysOff), is("verticalScrollBarPolicy", Qt::ScrollBarAlwaysOff), is("widgetResizable", true)};
    QVector<ObjectCheck> checks = {
        {"tab_4",              "QWidget",     "tab_4", {is("styleSheet", "QWidget {\n\tpadding: 0 8px;\n}")}},
        {"verticalLayout_24",  "QVBoxLayout", "",      {is("margin.left", 9), is("margin.right", 9)}},
        {"verticalLayout_21",  "QVBoxLayout", "",      {is("stretches", "4,10,0")}},
        {"horizontalLayout_4", "QHBoxLayout", "",      {is("sizeConstraint", QLayout::SetFixedSize)}},
        {"horizontalLayout_5", "QHBoxLayout", "",      {is("stretches", "8,9,7")}},
        {"gbHistory", "QGroupBox", "tab_4", {title("CPU History"), is("minimumSize", QSize(650, 145)), is("flat", false), is("checkable", false),
                                             is("sizePolicy.v", QSizePolicy::Expanding)}},
        {"fCPUUsagePlot", "QFrame", "tab_4", {is("frameShape", QFrame::StyledPanel), is("frameShadow", QFrame::Raised), is("layout", ""), is("containedIn", "gridLayout:0")}},
        {"labelDiskIOSpeed",    "QLabel", "tab_4", {fixedText("10MB/s"), is("geometry", QRect(580, 10, 62, 16)), is("parent", "fCPUUsagePlot")}},
        {"labelNetworkIOSpeed", "QLabel", "tab_4", {fixedText("10MB/s"), is("geometry", QRect(580, 32, 62, 16)), is("parent", "fCPUUsagePlot")}},
        {"groupBox_8",   "QGroupBox",   "tab_4", {title("Software"),   is("minimumSize", QSize(220, 141))}},
        {"groupBox_9",   "QGroupBox",   "tab_4", {title("Hardware"),   is("minimumSize", QSize(201, 141))}},
        {"groupBox_10",  "QGroupBox",   "tab_4", {title("Statistics"), is("minimumSize", QSize(208, 141))}},
        {"scrollArea", "QScrollArea", "tab_4", noScrollBars}, {"scrollArea_2", "QScrollArea", "tab_4", noScrollBars},
        {"scrollArea_3", "QScrollArea", "tab_4", noScrollBars},
        // Beyond what the loops below give every bar and info label alike.
        {"label",       "QLabel",            "tab_4", {is("font.family", "DejaVu Sans"), is("font.bold", true)}},
        {"labelOSName", "QLabel",            "tab_4", {is("font.bold", true), is("indent", -1)}},
        {"labelGPU",    "QLabel",            "tab_4", {is("focusPolicy", Qt::ClickFocus)}},
        {"gbCPU",       "ClickableGroupBox", "tab_4", {is("font.bold", true)}},
        {"pbDiskIO",    "QProgressBar",      "tab_4", {is("textDirection", QProgressBar::TopToBottom)}},
    };
    // Each load bar sits in a sunken frame in a clickable box. Qt's default "%p%" is not a caption of the form.
    const QVector<std::tuple<QString, QString, QString, int, QString>> bars = {
        {"CPU",       "CPU",         "Current load of the CPU (Central Processing Unit)",  55, "%p%"},
        {"GPU",       "GPU",         "Current load of the GPU (Graphics Processing Unit)", 28, "%p%"},
        {"RAM",       "RAM",         "RAM currently in use",                               13, "%p%"},
        {"DiskIO",    "Disk I/O",    "Disk input/output activity",                          0, "%vMB/s"},
        {"NetworkIO", "Network I/O", "Network input/output activity",                       0, "%vKb/s"},
        {"Temps",     "Temps",       "Shows the highest current temperature available",   46, QString::fromUtf8("%p°C")}};
    for (const auto& [key, heading, tip, value, format] : bars) {
        checks.append({"gb" + key, "ClickableGroupBox", "tab_4", {title(heading), caption("toolTip", tip), is("minimumSize", QSize(100, 102)),
            is("maximumSize", QSize(16777215, 1000)), is("cursor", int(Qt::PointingHandCursor)), is("checkable", false), is("flat", false)}});
        checks.append({"frame" + key, "QFrame", "tab_4", {is("parent", "gb" + key), is("frameShape", QFrame::WinPanel),
                                                          is("frameShadow", QFrame::Sunken), is("lineWidth", 0)}});
        checks.append({"pb" + key, "QProgressBar", "tab_4", {is("parent", "frame" + key), is("value", value), is("minimum", 0), is("maximum", 100),
            is("orientation", Qt::Vertical), is("textVisible", true), is("invertedAppearance", false), is("alignment", int(Qt::AlignHCenter | Qt::AlignBottom)),
            PropertyCheck{"format", format, format == "%p%"}}});
    }
    // Three boxes of eight caption/value rows; captions and values sit in two columns per box.
    const QVector<std::tuple<QString, QString, QString, QString>> info = {
        {"label",    "OS:",            "labelOSName",             "OS name"},
        {"label_3",  "Version:",       "labelOSVersion",          "OS version"},
        {"label_9",  "Based On:",      "labelBasedOn",            "Based on"},
        {"label_5",  "Kernel:",        "labelKernel",             "Kernel version"},
        {"label_17", "GPU Driver:",    "labelGPUDriver",          "GPU driver"},
        {"label_11", "Desktop Env:",   "labelDesktopEnvironment", "Desktop env"},
        {"label_13", "Win Manager:",   "labelWindowManager",      "Window man"},
        {"label_43", "Sound Server:",  "labelSoundServer",        "Sound server name"},
        {"label_2",  "Product:",       "labelSystemModelAndManufacturer", "PC/Laptop model"},
        {"label_15", "Mobo:",          "labelMotherboard",        "Mobo name & manufacturer"},
        {"label_19", "CPU:",           "labelCPUModel",           "CPU model name"},
        {"label_21", "Cores:",         "labelCPUCoresAndThreads", "x (xx Threads), x.xx GHz"},
        {"label_23", "RAM:",           "labelRAMInfo",            "xGB DDR4 (x units)"},
        {"label_29", "GPU:",           "labelGPU",                "Graphic card model"},
        {"label_25", "Storage:",       "labelStorage",            "1 TB SSD, 1 TB HDD"},
        {"label_7",  "Audio:",         "labelAudioDevice",        "Audio device"},
        {"label_27", "Uptime:",        "labelUptime",             "0D 00:00:00"},
        {"label_76", "RAM:",           "labelRamUsage",           "XXX GB/X.X GB"},
        {"label_78", "Swap:",          "labelSwapUsage",          "XX MB/X GB"},
        {"label_31", "Procs/Threads:", "labelProcsThreads",       "0/0"},
        {"label_39", "Applications:",  "labelApplications",       "0"},
        {"label_41", "Services:",      "labelServices",           "0"},
        {"label_37", "Cron Jobs:",     "labelCronJobs",           "0"},
        {"label_33", "Active Users:",  "labelActiveUsers",        "0"}};
    const char* captionColumns[] = {"verticalLayout_19", "verticalLayout_17", "verticalLayout_15"};
    const char* valueColumns[] = {"verticalLayout_20", "verticalLayout_18", "verticalLayout_16"};
    for (int row = 0; row < info.size(); ++row) {
        const auto& [captionName, captionText, valueName, value] = info[row];
        const QString place = ":" + QString::number(row % 8);
        checks.append({captionName, "QLabel", "tab_4", {text(captionText), is("containedIn", captionColumns[row / 8] + place)}});
        checks.append({valueName, "QLabel", "tab_4", {fixedText(value), is("containedIn", valueColumns[row / 8] + place),
                                                      is("textInteractionFlags", int(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse))}});
    }
    return checks;
}

QVector<ObjectCheck> listPageChecks() {
    const auto single = QAbstractItemView::SingleSelection, extended = QAbstractItemView::ExtendedSelection;
    return {
        // Applications
        {"tableApplications", "QTableWidget", "tab", readOnlyRows() + Props{is("columnCount", 2), is("rowCount", 8), is("headerItems", 0), is("enabled", true),
            is("frameShape", QFrame::StyledPanel), is("autoScrollMargin", 16), is("alternatingRowColors", true), is("selectionMode", single),
            is("iconSize", QSize(32, 32)), is("textElideMode", Qt::ElideRight), is("verticalScrollMode", QAbstractItemView::ScrollPerItem), is("showGrid", true),
            is("gridStyle", int(Qt::SolidLine)), is("sortingEnabled", true), is("wordWrap", true), is("cornerButtonEnabled", true), is("hheader.hidden", false),
            is("hheader.cascadingSectionResizes", true), is("hheader.minimumSectionSize", 28), is("hheader.defaultSectionSize", 100),
            is("hheader.highlightSections", false), is("hheader.showSortIndicator", true), is("hheader.stretchLastSection", false), is("vheader.hidden", true),
            is("vheader.minimumSectionSize", 19), is("vheader.defaultSectionSize", 36), is("vheader.highlightSections", true), is("containedIn", "verticalLayout_27:0")}},
        {"horizontalLayout_10", "QHBoxLayout", "", {is("items", "spacer,pushButtonCloseApp,pushButtonSwitchTo,pushButtonNewTask")}},
        {"pushButtonCloseApp", "QPushButton", "tab", {text("Close App"),   is("enabled", false), is("flat", false)}},
        {"pushButtonSwitchTo", "QPushButton", "tab", {text("Switch To"),   is("enabled", false)}},
        {"pushButtonNewTask",  "QPushButton", "tab", {text("New Task..."), is("enabled", true)}},
        // Processes
        {"tableProcesses", "QTableWidget", "tab_2", rowTable(5) + readOnlyRows() + Props{is("alternatingRowColors", true), is("selectionMode", extended),
            is("iconSize", QSize(18, 18)), is("gridStyle", int(Qt::SolidLine)), is("sortingEnabled", true), is("hheader.minimumSectionSize", 28),
            is("containedIn", "verticalLayout_28:0")}},
        {"horizontalLayout_11", "QHBoxLayout", "", {is("stretches", "0,0,0,10,0,0,0"),
            is("items", "checkBoxShowProcessesFromAllUsers,spacer,label_4,lineEditProcessFilter,spacer,label_6,labelNumberOfProcesses")}},
        {"checkBoxShowProcessesFromAllUsers", "QCheckBox", "tab_2", {text("Show processes from all users"), is("checked", false)}},
        {"label_4",                "QLabel",    "tab_2", {text("Filter:")}},
        {"lineEditProcessFilter",  "QLineEdit", "tab_2", filter() + Props{is("minimumWidth", 200), is("text", "")}},
        {"label_6",                "QLabel",    "tab_2", {text("Entries:")}}, {"labelNumberOfProcesses", "QLabel", "tab_2", {fixedText("0")}},
        // Services
        {"tableServices", "QTableWidget", "tab_3", rowTable(3) + readOnlyRows() + Props{is("selectionMode", single), is("iconSize", QSize(16, 16)),
            is("sortingEnabled", false), is("alternatingRowColors", false)}},
        {"horizontalLayout_12", "QHBoxLayout", "", {is("items", "checkBoxShowFailedServices,spacer,lineEditServicesFilter,spacer,label_8,labelNumberOfServices")}},
        {"checkBoxShowFailedServices", "QCheckBox", "tab_3", {text("Show other types"), is("checked", false), is("focusPolicy", Qt::WheelFocus)}},
        {"lineEditServicesFilter",     "QLineEdit", "tab_3", filter() + Props{is("focusPolicy", Qt::ClickFocus)}},
        {"label_8",                    "QLabel",    "tab_3", {text("Entries:")}}, {"labelNumberOfServices", "QLabel", "tab_3", {fixedText("0")}},
        // Cron Jobs
        {"labelCronJobsInfo", "QLabel", "tab_8", {is("styleSheet", Blue), is("containedIn", "verticalLayout_32:0"),
            text("Cron Jobs are scheduled tasks in Linux, like Windows Task Scheduler, running commands at set times.")}},
        {"tableCronJobs", "QTableWidget", "tab_8", rowTable(4) + readOnlyRows() + Props{is("alternatingRowColors", true), is("selectionMode", extended),
            is("sortingEnabled", false), is("containedIn", "verticalLayout_32:1")}},
        {"horizontalLayout_14",    "QHBoxLayout", "",      {is("items", "lineEditCronJobsFilter,label_14,labelCronJobsEntries")}},
        {"lineEditCronJobsFilter", "QLineEdit",   "tab_8", filter()},
        {"label_14",               "QLabel",      "tab_8", {text("Entries:")}}, {"labelCronJobsEntries", "QLabel", "tab_8", {fixedText("0")}},
        // Users
        {"listViewUsers", "CustomListView", "tab_6", {is("verticalScrollMode", QAbstractItemView::ScrollPerItem), is("movement", QListView::Static),
                                                      is("containedIn", "verticalLayout_33:0")}},
        {"horizontalLayout_15", "QHBoxLayout", "", {is("items", "checkBoxShowAllUsers,lineEditUsersFilter,pushButtonAddUser,pushButtonEditUser,pushButtonDeleteUser")}},
        {"checkBoxShowAllUsers", "QCheckBox",   "tab_6", {text("Show all users"), is("checked", false), is("font.bold", true)}},
        {"lineEditUsersFilter",  "QLineEdit",   "tab_6", filter()},
        {"pushButtonAddUser",    "QPushButton", "tab_6", {text("Add User"),    is("enabled", true),  is("icon", ":/icons/add"),    is("default", true)}},
        {"pushButtonEditUser",   "QPushButton", "tab_6", {text("Edit User"),   is("enabled", false), is("icon", ":/icons/edit"),   is("default", false), is("flat", false)}},
        {"pushButtonDeleteUser", "QPushButton", "tab_6", {text("Delete User"), is("enabled", false), is("icon", ":/icons/delete")}},
    };
}

QVector<ObjectCheck> networkingChecks() {
    const QString bandwidth = "tabWidgetNetworkingBandwidthMonitor", sniffer = "tabWidgetNetworkingPacketSniffer", wireless = "tabWidgetNetworkingWireless";
    const Props plainFrame = {is("frameShape", QFrame::StyledPanel), is("frameShadow", QFrame::Raised), is("layout", "")};
    const int centred = int(Qt::AlignCenter), selectable = int(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QVector<ObjectCheck> checks = {
        // Bandwidth Monitor
        {"verticalLayout_44", "QVBoxLayout", "", {is("stretches", "0,1,0")}},
        {"groupBoxNetworkingBandwidthMonitorNetworkInterfaces", "QGroupBox", bandwidth, {title("Select Network Interface"), is("layout", "horizontalLayout_24")}},
        {"groupBoxNetworkingGraphs", "QGroupBox", bandwidth, {title("Network Traffic"), is("layout", "horizontalLayout_23")}},
        {"horizontalLayout_23", "QHBoxLayout", "", {is("items", "frameNetworkingRX,frameNetworkingTX"), is("stretches", "1,1"), is("direction", QBoxLayout::LeftToRight)}},
        {"frameNetworkingRX", "QFrame", bandwidth, plainFrame},
        {"frameNetworkingTX", "QFrame", bandwidth, plainFrame},
        {"labelNetworkingDownload",      "QLabel", bandwidth, {text("Download (RX)"),  is("geometry", QRect(10, 10, 71, 16)),  is("parent", "frameNetworkingRX")}},
        {"labelNetworkingDownloadSpeed", "QLabel", bandwidth, {fixedText("TextLabel"), is("geometry", QRect(230, 10, 71, 16)), is("parent", "frameNetworkingRX")}},
        {"labelNetworkingUpload",        "QLabel", bandwidth, {text("Upload (TX)"),    is("geometry", QRect(10, 10, 61, 16)),  is("parent", "frameNetworkingTX")}},
        {"labelNetworkingUploadSpeed",   "QLabel", bandwidth, {fixedText("TextLabel"), is("geometry", QRect(230, 10, 71, 16)), is("parent", "frameNetworkingTX")}},
        {"groupBox_2", "QGroupBox", bandwidth, {title("Data Traffic"), is("minimumSize", QSize(0, 100))}},
        {"groupBox_3", "QGroupBox", bandwidth, {title("Bandwidth && Speed"), is("shownTitle", "Bandwidth & Speed"), is("mnemonic", ""), is("minimumSize", QSize(260, 0))}},
        {"groupBox_4", "QGroupBox", bandwidth, {title("Health && Errors"), is("shownTitle", "Health & Errors"), is("mnemonic", "")}},
        {"label_46",   "QLabel",    bandwidth, {text(""), is("gridCell", "gridLayout_2:0,0")}},
        // Packet Sniffer
        {"groupBoxNetworkingPacketSnifferNetworkInterfaces", "QGroupBox", sniffer, {title("Select Network Interface"), is("layout", "horizontalLayout_32")}},
        {"verticalLayout_47", "QVBoxLayout", "", {is("items", "groupBoxNetworkingPacketSnifferNetworkInterfaces,splitterPacketListAndDetails,horizontalLayout_31")}},
        {"splitterPacketListAndDetails", "QSplitter", sniffer, {is("orientation", Qt::Vertical), is("opaqueResize", true), is("handleWidth", 6),
            is("childrenCollapsible", true), is("frameShape", QFrame::NoFrame), is("sizePolicy.v", QSizePolicy::MinimumExpanding),
            is("children", "groupBox_1323,groupBoxNetworkingPacketSnifferDetails")}},
        {"groupBox_1323", "QGroupBox", sniffer, {title("Packet List")}},
        {"treeWidgetNetworkingPacketSnifferPacketListTree", "QTreeWidget", sniffer, {is("columnCount", 6), is("focusPolicy", Qt::ClickFocus),
            is("editTriggers", NoEdit), is("alternatingRowColors", true), is("sortingEnabled", true), is("animated", true), is("topLevelItemCount", 0),
            caption("header.0", "Application"), caption("header.1", "Timestamp"), caption("header.2", "Source IP"),
            caption("header.3", "Destination IP"), caption("header.4", "Protocol"), caption("header.5", "Length")}},
        {"groupBoxNetworkingPacketSnifferDetails", "QGroupBox", sniffer, {title("Packet Details"), is("layout", "verticalLayout_50")}},
        {"verticalLayout_50", "QVBoxLayout", "", {is("items", "gridLayout_7,horizontalLayout_30"), is("stretches", "0,1")}},
        {"groupBoxNetworkingPacketSnifferHEX",   "QGroupBox", sniffer, {title("Packet Content (HEX)"), is("styleSheet", ""), is("containedIn", "horizontalLayout_30:0")}},
        {"groupBoxNetworkingPacketSnifferASCII", "QGroupBox", sniffer, {title("Packet Content (ASCII)"), is("containedIn", "horizontalLayout_30:1")}},
        {"plainTextEditNetworkingPacketSnifferHEX", "CustomPlainTextEdit", sniffer, {is("font.family", "DejaVu Sans Mono"), is("tabChangesFocus", true),
            is("textInteractionFlags", selectable), is("plainText", "")}},
        {"plainTextEditNetworkingPacketSnifferASCII", "CustomPlainTextEdit", sniffer, {is("font.family", "DejaVu Sans Mono"), is("tabChangesFocus", true),
            is("textInteractionFlags", selectable), is("readOnly", true), is("lineWrapMode", QPlainTextEdit::WidgetWidth)}},
        {"horizontalLayout_31", "QHBoxLayout", "", {is("items", "pushButtonNetworkingPacketSnifferRecordStop,pushButtonNetworkingPacketSnifferClear,"
            "pushButtonNetworkingPacketSnifferSave,checkBoxNetworkingPacketSnifferTCP,checkBoxNetworkingPacketSnifferUDP,label_53,lineEditNetworkingPacketSnifferFilter")}},
        {"pushButtonNetworkingPacketSnifferRecordStop", "QPushButton", sniffer, {text("Record"), is("enabled", true),  is("icon", ":/icons/record")}},
        {"pushButtonNetworkingPacketSnifferClear",      "QPushButton", sniffer, {text("Clear"),  is("enabled", false), is("icon", ":/icons/clear")}},
        {"pushButtonNetworkingPacketSnifferSave",       "QPushButton", sniffer, {text("Save"),   is("enabled", false), is("icon", ":/icons/save")}},
        {"checkBoxNetworkingPacketSnifferTCP", "QCheckBox", sniffer, {text("TCP"), is("checked", true)}},
        {"checkBoxNetworkingPacketSnifferUDP", "QCheckBox", sniffer, {text("UDP"), is("checked", true)}},
        {"label_53", "QLabel", sniffer, {text("Filter:")}},
        {"lineEditNetworkingPacketSnifferFilter", "QLineEdit", sniffer, {is("clearButtonEnabled", true), is("placeholderText", "")}},
        // Wireless
        {"groupBox_7", "QGroupBox", wireless, {title("Select Wi-Fi Interface")}},
        {"comboBoxNetworkingWirelessSelectWifiInterface", "QComboBox", wireless, {is("count", 0), is("currentText", ""), is("containedIn", "horizontalLayout_29:0")}},
        {"groupBox_5", "QGroupBox", wireless, {title("Signal Level")}},
        {"progressBarLinkQuality", "QProgressBar", wireless, {is("orientation", Qt::Vertical), is("minimum", 0), is("maximum", 100), is("value", 24),
            is("alignment", centred), is("minimumSize", QSize(160, 0)), is("sizePolicy.v", QSizePolicy::Expanding)}},
        {"groupBox",   "QGroupBox", wireless, {title("Connection Info"),   is("layout", "gridLayout_6")}},
        {"groupBox_6", "QGroupBox", wireless, {title("Wi-Fi Router Info"), is("layout", "gridLayout_5")}},
    };

    // Bandwidth statistics grids: an RX/TX heading row, then a name in column 0, RX in 1 and TX in 2.
    struct Grid { QString layout, rxHeading, txHeading; QVector<std::tuple<QString, QString, QString, QString, QString>> rows; };
    const QVector<Grid> grids = {
        {"gridLayout_2", "label_47", "label_49", {{"label_51", "Bytes",     "Bytes",     "1.26GB", "59.39MB"}, {"label_55", "Packets",    "Packets",    "-", "0"},
                                                  {"label_48", "Multicast", "Multicast", "0", "0"}, {"label_50", "Broadcast", "Broadcast", "0", "0"},
                                                  {"label_89", "Compressed", "Compressed", "-", "0"}}},
        {"gridLayout_3", "label_59", "label_60", {{"label_58", "Bandwidth", "Bandwidth", "0", "0"}, {"label_61", "Throughput", "Throughput", "0", "0"},
                                                  {"label_62", "Packets/s", "PacketsPerSecond", "0", "0"}, {"label_63", "Avg Speed", "AverageSpeed", "0", "0"},
                                                  {"label_92", "Peak Speed", "PeakSpeed", "0", "0"}}},
        {"gridLayout_4", "label_66", "label_67", {{"label_65", "Errors", "Errors", "0", "0"}, {"label_68", "Collisions", "Collisions", "0", "0"},
                                                  {"label_69", "Dropped", "Dropped", "0", "0"}, {"label_70", "Overruns", "Overruns", "0", "0"},
                                                  {"label_95", "Fifo Errors", "FifoErrors", "0", "0"}}}};
    for (const Grid& grid : grids) {
        const QString cell = grid.layout + ":%1,%2";
        checks.append({grid.rxHeading, "QLabel", bandwidth, {fixedText("RX"), is("alignment", centred), is("gridCell", cell.arg(0).arg(1))}});
        checks.append({grid.txHeading, "QLabel", bandwidth, {fixedText("TX"), is("alignment", centred), is("gridCell", cell.arg(0).arg(2))}});
        for (int row = 1; row <= grid.rows.size(); ++row) {
            const auto& [nameLabel, name, key, rx, tx] = grid.rows[row - 1];
            checks.append({nameLabel, "QLabel", bandwidth, {text(name), is("gridCell", cell.arg(row).arg(0))}});
            checks.append({"labelNetworking" + key + "RX", "QLabel", bandwidth, {fixedText(rx), is("alignment", centred), is("gridCell", cell.arg(row).arg(1))}});
            checks.append({"labelNetworking" + key + "TX", "QLabel", bandwidth, {fixedText(tx), is("alignment", centred), is("gridCell", cell.arg(row).arg(2))}});
        }
    }

    // A caption in a grid cell with its value in the next column.
    auto addPair = [&](const QString& page, const QString& grid, int row, int column, const QString& captionName,
                       const QString& caption, const QString& valueName, const QString& value) {
        const QString cell = QString("%1:%2,%3").arg(grid).arg(row);
        checks.append({captionName, "QLabel", page, {text(caption), is("gridCell", cell.arg(column))}});
        checks.append({valueName, "QLabel", page, {fixedText(value), is("gridCell", cell.arg(column + 1))}});
    };
    const QVector<std::tuple<int, int, QString, QString, QString>> snifferFields = {
        {0, 1, "label_54", "Source MAC:",  "SourceMAC"},            {0, 4,  "label_71", "TTL:",            "TTL"},
        {0, 7, "label_75", "Seq Number:",  "SequenceNumber"},       {0, 10, "label_57", "Checksum (IP):",  "IPLayerChecksum"},
        {1, 1, "label_77", "Dest MAC:",    "DestinationMAC"},       {1, 4,  "label_81", "ID Field:",       "IDField"},
        {1, 7, "label_90", "Ack Number:",  "AcknowledgmentNumber"}, {1, 10, "label_73", "Checksum (TCP):", "TCPUDPLayerChecksum"},
        {3, 1, "label_79", "Ether Type:",  "EtherType"},            {3, 4,  "label_83", "Flags:",          "Flags"},
        {3, 7, "label_93", "Window Size:", "WindowSize"}};
    for (const auto& [row, column, captionName, caption, key] : snifferFields)
        addPair(sniffer, "gridLayout_7", row, column, captionName, caption, "labelNetworkingPacketSniffer" + key, "N/A");
    const QVector<std::tuple<QString, int, int, QString, QString, QString, QString>> wirelessLabels = {
        {"gridLayout_6", 0, 0, "label_64",  "Status:",          "ConnectionStatus",      "Connected"},
        {"gridLayout_6", 1, 0, "label_52",  "SSID:",            "SSID",                  "MyHomeWiFi"},
        {"gridLayout_6", 3, 0, "label_72",  "IP Address:",      "IPAddress",             "192.168.0.101"},
        {"gridLayout_6", 4, 0, "label_74",  "Frequency:",       "Frequency",             "5 GHz"},
        {"gridLayout_6", 5, 0, "label_82",  "Signal Quality:",  "SignalQuality",         "85%"},
        {"gridLayout_6", 6, 0, "label_84",  "Signal Strength:", "SignalStrength",        "-55 dBm"},
        {"gridLayout_6", 7, 0, "label_86",  "Noise Level:",     "NoiseLevel",            "-95 dBm"},
        {"gridLayout_6", 8, 0, "label_88",  "Encryption Type:", "EncryptionType",        "WPA2"},
        {"gridLayout_6", 9, 0, "label_91",  "MAC Address:",     "MACAddress",            "AB:CD:EF:12:34:56"},
        {"gridLayout_5", 0, 0, "label_101", "IP Address:",      "RouterIPAddress",       "192.168.1.1"},
        {"gridLayout_5", 0, 3, "label_106", "Channels:",        "Channels",              "36 (80 MHz)"},
        {"gridLayout_5", 0, 6, "label_110", "Encryption:",      "EncryptionMethods",     "WPA2"},
        {"gridLayout_5", 2, 0, "label_104", "BSSID:",           "BSSID",                 "300 Mbps"},
        {"gridLayout_5", 2, 3, "label_98",  "Frequencies:",     "Frequencies",           "2.4G, 5G"},
        {"gridLayout_5", 2, 6, "label_45",  "Authentication:",  "AuthenticationMethods", "AES, TKIP"},
        {"gridLayout_5", 4, 0, "label_102", "Vendor:",          "Vendor",                "TP-Link Archer C7"},
        {"gridLayout_5", 4, 3, "label_96",  "Protocols:",       "Protocols",             "802.11b"},
        {"gridLayout_5", 4, 6, "label_56",  "Uptime:",          "Uptime",                "1D 11:05:52"}};
    for (const auto& [grid, row, column, captionName, caption, key, value] : wirelessLabels)
        addPair(wireless, grid, row, column, captionName, caption, "labelWireless" + key, value);
    return checks;
}

QVector<ObjectCheck> logsChecks() {
    // A page's three toggle buttons: name suffix, caption, icon and further checks.
    using Toggles = QVector<std::tuple<QString, QString, QString, Props>>;
    const PropertyCheck plain = is("font.bold", false), bold = is("font.bold", true);
    const Toggles levels = {{"Info", "Info", ":/icons/information", {plain}}, {"Warning", "Warning", ":/icons/warning", {plain}}, {"Error", "Error", ":/icons/error", {plain}}};
    const Toggles boot = {{"Info", "[ OK ]", ":/icons/information", {bold, is("styleSheet", "QPushButton {\ncolor: green;\n}")}},
                          {"Warning", "Warning", ":/icons/warning", {plain, is("styleSheet", QString())}},
                          {"Error", "[ FAILED ]", ":/icons/error", {bold, is("styleSheet", "QPushButton {\ncolor: red;\n}")}}};
    const Toggles debs = {{"Install", "Install", ":/icons/add", {plain}}, {"Upgrade", "Upgrade", ":/icons/upgrade", {plain}}, {"Remove", "Remove", ":/icons/remove", {plain}}};
    const Toggles flatpaks = {{"Install", "Install", ":/icons/add", {plain}}, {"Upgrade", "Update", ":/icons/upgrade", {plain}}, {"Remove", "Remove", ":/icons/remove", {plain}}};
    const Props syslogTable = {is("alternatingRowColors", false), is("iconSize", QSize(16, 16)), is("textElideMode", Qt::ElideRight), is("midLineWidth", 0)};
    const auto click = Qt::ClickFocus, strong = Qt::StrongFocus;
    const auto rows = QAbstractItemView::SelectRows, items = QAbstractItemView::SelectItems;
    const int editable = int(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    struct LogPage {
        QString page, key, descriptionLabel, entriesLabel;
        int vertical, horizontal; // the numbers of the page's verticalLayout_N and horizontalLayout_N
        QString descriptionStyle; Qt::FocusPolicy focus; QAbstractItemView::SelectionBehavior selection; int editTriggers; Props table; Toggles toggles;
        QString description;
    };
    const QVector<LogPage> pages = {
        {"tabLogsSyslog",  "SysLog",     "label_10", "label_12", 31, 13, Blue,      click,  rows,  NoEdit,   syslogTable, levels,
         "Primary system log file where messages are logged by the system and system daemons."},
        {"tabLogsAuthlog", "AuthLog",    "label_18", "label_16", 34, 16, Blue,      click,  items, NoEdit,   {},          levels,
         "Authentication events, login attempts, user authentication and privilege escalation activities."},
        {"tabLogsKernlog", "KernLog",    "label_20", "label_22", 35, 17, Blue,      click,  rows,  NoEdit,   {},          levels,
         "Ongoing kernel activities, including hardware detection, drivers and system processes."},
        {"tabLogsDmesg",   "DmesgLog",   "label_24", "label_26", 36, 18, QString(), click,  rows,  NoEdit,   {},          levels,
         "Displays recent boot-time messages, focusing on hardware and driver initialization."},
        {"tabLogsBootlog", "BootLog",    "label_28", "label_30", 37, 19, QString(), click,  rows,  NoEdit,   {},          boot,
         "The status and progress of services, drivers and hardware initialization during system startup."},
        {"tabLogsFaillog", "FailLog",    "label_32", "label_34", 38, 20, QString(), click,  rows,  NoEdit,   {},          levels,
         "Records of failed login attempts and related login information for system users."},
        {"tabLogsDpkglog", "DpkgLog",    "label_38", "label_40", 39, 21, QString(), strong, rows,  NoEdit,   {},          debs,
         "Lists installed, upgraded and removed Debian packages, with details on their version and status."},
        {"tab_7",          "FlatpakLog", "label_42", "label_44", 40, 22, QString(), click,  rows,  editable, {},          flatpaks,
         "Displays installed, updated and removed Flatpak applications, along with their version and status."}};
    QVector<ObjectCheck> checks = {{"label_10", "QLabel", "tabLogsSyslog", {is("cursor", int(Qt::ArrowCursor))}}};
    for (const LogPage& p : pages) {
        const QString vertical = QString("verticalLayout_%1").arg(p.vertical), horizontal = QString("horizontalLayout_%1").arg(p.horizontal);
        const QString table = "tableLogs" + p.key, filterEdit = "lineEditLogs" + p.key + "Filter", reload = "pushButtonLogs" + p.key + "Reload",
                      count = "labelLogs" + p.key + "Entries";
        checks += {{p.page, "QWidget", p.page, {is("layout", vertical)}},
                   {vertical, "QVBoxLayout", "", {is("items", p.descriptionLabel + "," + table + "," + horizontal)}}};
        checks.append({p.descriptionLabel, "QLabel", p.page, {text(p.description), is("wordWrap", true), is("styleSheet", p.descriptionStyle),
                                                             is("containedIn", vertical + ":0")}});
        checks.append({table, "QTableWidget", p.page, rowTable(5) + Props{is("focusPolicy", p.focus), is("editTriggers", p.editTriggers),
                                                                          is("selectionBehavior", p.selection), is("containedIn", vertical + ":1")} + p.table});
        QStringList rowItems;
        for (const auto& [suffix, caption, icon, more] : p.toggles) {
            rowItems << "pushButtonLogs" + p.key + suffix;
            checks.append({rowItems.last(), "QPushButton", p.page, Props{text(caption), is("checkable", true), is("checked", true), is("icon", icon)} + more});
        }
        checks.append({horizontal, "QHBoxLayout", "", {is("items", (rowItems + QStringList{filterEdit, reload, p.entriesLabel, count}).join(','))}});
        checks += {{filterEdit, "QLineEdit", p.page, filter()}, {p.entriesLabel, "QLabel", p.page, {text("Entries:")}}, {count, "QLabel", p.page, {fixedText("0")}},
                   {reload, "QPushButton", p.page, {text("Reload"), is("enabled", true), is("checkable", false), is("icon", ":/icons/reload")}}};
    }
    return checks;
}
// clang-format on

QVector<ObjectCheck> allChecks() {
    return windowChecks() + overviewChecks() + listPageChecks() + networkingChecks() + logsChecks();
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

// The form's top-level widget answers to its own object name.
QObject* findIn(QMainWindow* window, const QString& name) {
    return window->objectName() == name ? window : window->findChild<QObject*>(name);
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
    QMainWindow window;
    Ui::MainWindow ui;

    // One data row per property check; with textsOnly, the texts as the bracketing catalogue shows them.
    static void addPropertyRows(bool textsOnly) {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("expected");
        for (const ObjectCheck& check : allChecks())
            for (const PropertyCheck& property : check.properties) {
                if (textsOnly && !isText(property))
                    continue;
                const QString source = property.expected.toString();
                const QVariant shown = !textsOnly                               ? property.expected
                                       : property.fixedText || source.isEmpty() ? source
                                                                                : "[" + source + "]";
                QTest::addRow("%s.%s", qPrintable(check.object), qPrintable(property.property))
                    << check.object << property.property << shown;
            }
    }

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
        for (const ObjectCheck& check : allChecks())
            if (!seen.contains(check.object)) {
                seen.insert(check.object);
                QTest::newRow(qPrintable(check.object)) << check.object << check.className << check.page;
            }
    }
    void everyObjectExistsWithItsClassAndPage() {
        QFETCH(QString, object);
        QFETCH(QString, className);
        QFETCH(QString, page);
        QObject* found = findIn(&window, object);
        QVERIFY2(found, "no object of that name");
        QCOMPARE(QString(found->metaObject()->className()), className);
        QCOMPARE(window.findChildren<QObject*>(object).size() + (found == &window), 1);
        if (auto* widget = qobject_cast<QWidget*>(found); widget && !page.isEmpty())
            QCOMPARE(TestSupport::pageOf(widget), page);
    }

    void initialState_data() { addPropertyRows(false); }
    void initialState() {
        QFETCH(QString, object);
        QFETCH(QString, property);
        QFETCH(QVariant, expected);
        QObject* found = findIn(&window, object);
        QVERIFY(found);
        if (property == "icon") {
            const QImage actual = qobject_cast<QAbstractButton*>(found)->icon().pixmap(16, 16).toImage();
            QVERIFY(!actual.isNull());
            QCOMPARE(actual, QIcon(expected.toString()).pixmap(16, 16).toImage());
            return;
        }
        const QVariant actual = TestSupport::readState(found, property);
        QVERIFY2(actual.isValid(), "unknown property");
        QVERIFY2(TestSupport::sameState(actual, expected),
                 qPrintable(QString("got '%1', expected '%2'")
                                .arg(TestSupport::describe(actual), TestSupport::describe(expected))));
    }

    // Captions go through the "MainWindow" translation context; sample values do not.
    void textsFollowTheCatalogue_data() { addPropertyRows(true); }
    void textsFollowTheCatalogue() {
        QFETCH(QString, object);
        QFETCH(QString, property);
        QFETCH(QVariant, expected);
        static QMainWindow* translated = [] {
            static BracketTranslator translator;
            QCoreApplication::installTranslator(&translator);
            auto* w = new QMainWindow;
            static Ui::MainWindow form;
            form.setupUi(w);
            QCoreApplication::removeTranslator(&translator);
            return w;
        }();
        QObject* found = findIn(translated, object);
        QVERIFY(found);
        QCOMPARE(TestSupport::readState(found, property).toString(), expected.toString());
    }

    void windowCannotShrinkBelowItsMinimum() {
        window.resize(300, 200);
        QCOMPARE(window.size(), QSize(720, 500));
    }

    // Every ":/..." path the form names must load, and so must the icons
    // that the tab handlers take from the same resource tree.
    void everyNamedResourceLoads_data() {
        QTest::addColumn<QString>("path");
        QFile form(QStringLiteral(TESSMAR_TEST_DATA "/../../forms/mainwindow.ui"));
        QVERIFY(form.open(QIODevice::ReadOnly));
        QSet<QString> paths;
        QRegularExpressionMatchIterator it =
            QRegularExpression(":/icons/[A-Za-z0-9_.-]+").globalMatch(QString::fromUtf8(form.readAll()));
        while (it.hasNext())
            paths.insert(it.next().captured(0));
        QVERIFY(paths.size() >= 13);
        for (const QString& shared :
             QString("cron.png info.png warning.png error.png info other frame hidden visible "
                     "browse webcam stock-images user-root user-other user-system loop "
                     "ethernet wifi network stop")
                 .split(' '))
            paths.insert(":/icons/" + shared);
        for (const QString& path : paths)
            QTest::newRow(qPrintable(path)) << path;
    }
    void everyNamedResourceLoads() {
        QFETCH(QString, path);
        QVERIFY(QFile::exists(path));
        QImageReader reader(path);
        QVERIFY2(!reader.read().isNull(), qPrintable(reader.errorString()));
        QVERIFY(!QIcon(path).pixmap(16, 16).isNull());
    }

    void avatarFrameFitsTheTile() { QCOMPARE(QPixmap(":/icons/frame").size(), QSize(190, 190)); }

    // Shows every page and sub-page for real and grabs it. With
    // TESSMAR_SCREENSHOT_DIR set (scripts/screenshots) the pictures are kept.
    void everyPageRenders_data() {
        QTest::addColumn<int>("mainIndex");
        QTest::addColumn<QString>("innerTabs");
        QTest::addColumn<int>("innerIndex");
        const QStringList pages = {"overview", "applications", "processes", "services",
                                   "cronjobs", "networking",   "users",     "logs"};
        const QMap<int, QPair<QString, QStringList>> subPages = {
            {5, {"tabWidgetNetworkingTabs", {"bandwidth", "sniffer", "wireless"}}},
            {7,
             {"tabWidgetLogsTabs",
              {"syslog", "authlog", "kernlog", "dmesg", "bootlog", "userlog", "debapps", "flatpak"}}}};
        for (int i = 0; i < pages.size(); ++i) {
            const auto& [innerTabs, inner] = subPages.value(i);
            if (inner.isEmpty())
                QTest::newRow(qPrintable(pages[i])) << i << QString() << 0;
            for (int j = 0; j < inner.size(); ++j)
                QTest::newRow(qPrintable(pages[i] + "-" + inner[j])) << i << innerTabs << j;
        }
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
