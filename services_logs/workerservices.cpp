#include "workerservices.h"

#include "commandrunner.h"
#include "safefile.h"
#include "systempaths.h"
#include "unitfileparser.h"

#include <QBuffer>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcServices, "tessmar.services", QtWarningMsg)

WorkerServices::WorkerServices(QObject* parent) : QObject(parent) {}

WorkerServices::~WorkerServices() = default;

const QStringList& WorkerServices::unitFolders() {
    static const QStringList folders = {QStringLiteral("/etc/systemd/system/"),
                                        QStringLiteral("/usr/lib/systemd/system/"),
                                        QStringLiteral("/lib/systemd/system/")};
    return folders;
}

QString WorkerServices::findDescription(const QString& unitName) {
    if (UnitFileParser::isPlainUnitFileName(unitName)) {
        for (const QString& folder : unitFolders()) {
            // Enabled units are links into the vendor folders, and only root
            // writes to these folders: links are followed. Masked units are
            // links to /dev/null, which, like a FIFO, is not read.
            SafeFile::ReadRules rules;
            rules.followSymlinks = true;
            rules.maxBytes = maxUnitFileBytes;
            SafeFile::Read unitFile = SafeFile::read(SystemPaths::path(folder + unitName), rules);
            if (!unitFile.ok())
                continue;
            QBuffer text(&unitFile.data);
            text.open(QIODevice::ReadOnly);
            if (const std::optional<QString> description = UnitFileParser::readDescription(text))
                return *description;
        }
    }
    return QStringLiteral("Description not found");
}

void WorkerServices::fetchServices() {
    const QString program = QStringLiteral("systemctl");
    CommandOptions options;
    options.timeoutMs = listingTimeoutMs;
    // A line of under 100 bytes a unit file; systemd itself holds at most
    // 131,072 units.
    options.maxOutputBytes = 16 * 1024 * 1024;
    const CommandResult result = CommandRunner::run(
        program,
        {QStringLiteral("list-unit-files"), QStringLiteral("--type=service"), QStringLiteral("--no-legend")},
        options);
    if (!result.succeeded()) {
        const QString reason = result.describeFailure(program);
        if (!result.aborted)
            qWarning().noquote() << "Could not list the service units:" << reason;
        emit serviceListUpdated({{}, reason});
        return;
    }

    QList<DetailsService> services;
    const QList<UnitFileParser::UnitFileEntry> entries = UnitFileParser::parseListing(result.outputText());
    for (const UnitFileParser::UnitFileEntry& entry : entries) {
        if (!UnitFileParser::isListed(entry.state, showFailedServices))
            continue;
        DetailsService service;
        service.unitName = entry.unitName;
        service.unitFileState = entry.state;
        service.description = findDescription(entry.unitName);
        services.append(service);
    }
    emit serviceListUpdated({services, {}});
    qCDebug(lcServices) << "Emitting service details updated with count:" << services.size();
}

void WorkerServices::requestSetShowFailedServices(bool checked) {
    showFailedServices = checked;
    fetchServices();
}
