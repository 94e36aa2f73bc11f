#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class WorkerThread;

class TabUsers : public QWidget {
    Q_OBJECT
public:
    TabUsers(Ui::MainWindow* ui, QWidget* parent);
    ~TabUsers() override;

public slots:

signals:
    void requestUpdateUsersTable();

private:
    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
};
