#pragma once

#include "mainwindow.h"
#include "tablogs.h"

#include <QObject>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <memory>

// The Logs page inside a real main window, fed from a fixture root and
// stand-in tools, for the programs that test it: Qt Test runs its
// initTestCase and cleanupTestCase for every test class derived from it.
class LogsPageFixture : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

protected:
    static void writeFile(const QString& path, const QByteArray& data);
    static QByteArray fixture(const QString& name);
    static void printsFixture(const QString& folder, const QString& tool, const QString& fixture);
    static QStringList column(QTableView* view, int column, int role = Qt::DisplayRole);
    static int shownRows(QTableView* view);

    bool everyPageAnswered() const;
    void openWindow();
    void reload(QPushButton* button, TabLogs::Page page);
    void saveScreenshots(const QString& prefix);

    QTemporaryDir root;
    QTemporaryDir tools;
    QStringList originalSearchPath;
    std::unique_ptr<MainWindow> window;
    Ui::MainWindow* ui = nullptr;
    TabLogs* tab = nullptr;
};
