#pragma once

#include "sysinfoparser.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <optional>

struct CommandResult;

// The label texts of the panel's static facts, in the order they are shown.
struct StaticSystemInfo {
    QString osName;
    QString osVersion;
    QString basedOn;
    QString kernel;
    QString gpu;
    QString gpuDriver;
    QString desktopEnvironment;
    QString windowManager;
    QString soundServer;
    QString machine;
    QString motherboard;
    QString cpuModel;
    QString cpuCoresAndThreads;
    QString ramInfo;
    QString storage;
    QString audioDevice;
};
Q_DECLARE_METATYPE(StaticSystemInfo)

// Gathers the static facts from /proc, /sys, /etc, the environment and a
// few standard tools. Meant to run once on a thread of its own: each tool
// gets a few seconds and all of them together a fixed budget, after which
// the remaining probes fall back at once, so a hung tool costs seconds.
class SystemInfoProbes : public QObject {
    Q_OBJECT
public:
    explicit SystemInfoProbes(int probeTimeoutMs = 3000, int totalBudgetMs = 10000,
                              QObject* parent = nullptr);

    // Gathers everything; the building block of fetchStaticSystemInfo().
    StaticSystemInfo gather();

    // Safe from any thread: the probes still to run fall back without
    // running their tools.
    void abort();

public slots:
    // Answers with staticSystemInfoUpdated.
    void fetchStaticSystemInfo();

signals:
    void staticSystemInfoUpdated(const StaticSystemInfo& info);

private:
    CommandResult runTool(const QString& program, const QStringList& arguments);
    QString toolOutput(const QString& program, const QStringList& arguments);
    QString virtualization();

    SysInfoParser::GpuIdentity getGpuName();
    QString getGpuDriverVersion(const QString& vendor);
    QString getDesktopEnvironment();
    QString getDesktopEnvironmentVersion(const QString& desktop);
    QString getWindowManager();
    QString getSoundServer();
    QString getMachineName();
    QString getBoardName();
    QString getCpuCores();
    QString getRamInfo();
    QString getDiskInfo();
    QString getAudioDevice();

    const int probeTimeoutMs;
    const int totalBudgetMs;
    QElapsedTimer budget;
    std::atomic<bool> aborted{false};
    std::optional<QString> virtualizationName;
};
