#include "dialognewtask.h"

#include "ui_dialognewtask.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
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

QString DialogNewTask::whyNotStartable(const QString& program) {
    if (program.isEmpty())
        return tr("nothing was entered");
    if (!program.contains(QLatin1Char('/'))) {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return tr("no program of that name was found");
        return QString();
    }
    const QFileInfo info(program);
    if (!info.exists())
        return tr("no such file");
    if (info.isDir())
        return tr("it is a folder");
    if (!info.isExecutable())
        return tr("it is not executable");
    return QString();
}

void DialogNewTask::showFailure(const QString& text) {
    // The dialog has closed: the message goes to the window it belongs to.
    auto* box = new QMessageBox(QMessageBox::Warning, tr("New Task"), text, QMessageBox::Ok, parentWidget());
    box->setObjectName(QStringLiteral("messageBoxNewTaskFailed"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void DialogNewTask::onAccepted() {
    const QString text = expandText(ui->lineEditCommand->text());
    switch (kindOf(text)) {
    case Kind::Url:
        if (!QDesktopServices::openUrl(QUrl(text, QUrl::TolerantMode))) {
            qCDebug(lcNewTask) << "Failed to open URL:" << text;
            showFailure(tr("Could not open “%1”: no application handles such addresses.").arg(text));
        }
        break;
    case Kind::File:
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(text))) {
            qCDebug(lcNewTask) << "Failed to open file:" << text;
            showFailure(tr("Could not open “%1”: no application opens it.").arg(text));
        }
        break;
    case Kind::Command: {
        // Program and arguments as the user grouped them; no shell sees the text.
        QStringList arguments = QProcess::splitCommand(text);
        const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
        QString reason = whyNotStartable(program);
        if (reason.isEmpty()) {
            QProcess process;
            process.setProgram(program);
            process.setArguments(arguments);
            if (!process.startDetached())
                reason = process.errorString();
        }
        if (!reason.isEmpty()) {
            qCDebug(lcNewTask) << "Failed to start the command:" << text << "-" << reason;
            showFailure(tr("Could not start “%1”: %2.").arg(program.isEmpty() ? text : program, reason));
        }
        break;
    }
    }
    accept();
}
