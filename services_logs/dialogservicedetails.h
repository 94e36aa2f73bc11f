#pragma once

#include "detailsservice.h"

#include <QDialog>

namespace Ui {
class DialogServiceDetails;
}

// The details of one service unit file, as far as the listing knows them.
class DialogServiceDetails : public QDialog {
    Q_OBJECT
public:
    explicit DialogServiceDetails(QWidget* parent = nullptr);
    ~DialogServiceDetails() override;

    // Fills the General page from the record; what the listing does not
    // read (the binary, the running state) shows "N/A".
    void setService(const DetailsService& service);

    // The startup type shown for a unit-file state, as an index of the
    // form's list: 0 Automatic, 1 Manual, 2 Disabled.
    static int startupTypeIndex(const QString& unitFileState);

private:
    Ui::DialogServiceDetails* ui;
};
