#pragma once

#include <QWidget>

namespace Ui {
class MainWindow;
}

// The Applications tab: the open top-level windows.
class TabApplications : public QWidget {
    Q_OBJECT
public:
    TabApplications(Ui::MainWindow* ui, QWidget* parent);
    ~TabApplications() override;

    void setupApplicationTable();

public slots:
    void updateApplicationTable();

private:
    Ui::MainWindow* ui;
};
