#pragma once

#include <QDialog>

// Opens a URL or file, or starts a command.
class DialogNewTask : public QDialog {
    Q_OBJECT
public:
    explicit DialogNewTask(QWidget* parent = nullptr);
    ~DialogNewTask() override;
};
