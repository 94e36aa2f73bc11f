#include "dialognewtask.h"

#include "ui_dialognewtask.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

Q_LOGGING_CATEGORY(lcNewTask, "tessmar.newtask", QtWarningMsg)

DialogNewTask::DialogNewTask(QWidget* parent) : QDialog(parent, Qt::Tool), ui(new Ui::DialogNewTask) {
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setDefault(true);
    // The form accepts first, so the dialog is already hidden when the task starts.
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DialogNewTask::onAccepted);
}

DialogNewTask::~DialogNewTask() {
    delete ui;
}

QString DialogNewTask::expandText(const QString& text) {
    QString expanded = text.trimmed();
    if (expanded.startsWith(QLatin1Char('~')))
        expanded.replace(QLatin1Char('~'), QDir::homePath());
    return expanded;
}

DialogNewTask::Kind DialogNewTask::kindOf(const QString& expandedText) {
    const QUrl url(expandedText, QUrl::TolerantMode);
    if (url.isValid() && !url.scheme().isEmpty())
        return Kind::Url;
    const QFileInfo info(expandedText);
    if (!expandedText.isEmpty() && info.exists() && (info.isFile() || info.isDir()))
        return Kind::File;
    return Kind::Command;
}

void DialogNewTask::onAccepted() {
    const QString text = expandText(ui->lineEditCommand->text());
    switch (kindOf(text)) {
    case Kind::Url:
        if (!QDesktopServices::openUrl(QUrl(text, QUrl::TolerantMode)))
            qCDebug(lcNewTask) << "Failed to open URL:" << text;
        break;
    case Kind::File:
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(text)))
            qCDebug(lcNewTask) << "Failed to open file:" << text;
        break;
    case Kind::Command: {
        // Program and arguments as the user grouped them; no shell sees the text.
        QStringList arguments = QProcess::splitCommand(text);
        const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
        if (program.isEmpty() || !QProcess::startDetached(program, arguments))
            qCDebug(lcNewTask) << "Failed to start the command:" << text;
        break;
    }
    }
    accept();
}
