#include "dialogservicedetails.h"

#include "ui_dialogservicedetails.h"

#include <QPushButton>

DialogServiceDetails::DialogServiceDetails(QWidget* parent)
    : QDialog(parent), ui(new Ui::DialogServiceDetails) {
    ui->setupUi(this);
    // The dialog shows; it does not change units. Controls that would act
    // are shown disabled, and the pages without content cannot be opened.
    for (QWidget* control : {static_cast<QWidget*>(ui->comboBox), static_cast<QWidget*>(ui->pushButton),
                             static_cast<QWidget*>(ui->pushButton_2), static_cast<QWidget*>(ui->pushButton_3),
                             static_cast<QWidget*>(ui->pushButton_4), static_cast<QWidget*>(ui->lineEdit)})
        control->setEnabled(false);
    for (int page = 1; page < ui->tabWidget->count(); ++page)
        ui->tabWidget->setTabEnabled(page, false);
    ui->textEdit->setReadOnly(true);
    // Descriptions come from unit files: shown as text, never as markup.
    ui->textEdit->setAcceptRichText(false);
    for (QLabel* value : {ui->label_2, ui->label_4, ui->label_7, ui->label_10}) {
        value->setTextFormat(Qt::PlainText);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    setService(DetailsService());
}

DialogServiceDetails::~DialogServiceDetails() {
    delete ui;
}

int DialogServiceDetails::startupTypeIndex(const QString& unitFileState) {
    if (unitFileState == QLatin1String("enabled") || unitFileState == QLatin1String("enabled-runtime"))
        return 0;
    if (unitFileState == QLatin1String("disabled") || unitFileState == QLatin1String("masked") ||
        unitFileState == QLatin1String("masked-runtime"))
        return 2;
    return 1;
}

void DialogServiceDetails::setService(const DetailsService& service) {
    const QString notAvailable = QStringLiteral("N/A");
    QString displayName = service.unitName;
    if (displayName.endsWith(QLatin1String(".service")))
        displayName.chop(8);
    ui->label_2->setText(service.unitName.isEmpty() ? notAvailable : service.unitName);
    ui->label_4->setText(displayName.isEmpty() ? notAvailable : displayName);
    ui->textEdit->setPlainText(service.description);
    ui->label_7->setText(notAvailable);
    ui->label_10->setText(notAvailable);
    ui->comboBox->setCurrentIndex(service.unitFileState.isEmpty() ? -1
                                                                  : startupTypeIndex(service.unitFileState));
}
