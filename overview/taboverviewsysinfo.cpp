#include "taboverviewsysinfo.h"

TabOverviewSysInfo::TabOverviewSysInfo(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {}

TabOverviewSysInfo::~TabOverviewSysInfo() = default;

void TabOverviewSysInfo::loadStaticSystemInfo() {}
