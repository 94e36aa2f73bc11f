#include "tabapplications.h"

TabApplications::TabApplications(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {}

TabApplications::~TabApplications() = default;

void TabApplications::setupApplicationTable() {}

void TabApplications::updateApplicationTable() {}
