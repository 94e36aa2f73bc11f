#pragma once

#include <QDialog>

namespace Ui {
class DialogAbout;
}

// Help > About: the program's icon, name, version, author and licence.
class DialogAbout : public QDialog {
    Q_OBJECT
public:
    explicit DialogAbout(QWidget* parent = nullptr);
    ~DialogAbout() override;

private:
    Ui::DialogAbout* ui;
};
