#include "dialognewtask.h"

DialogNewTask::DialogNewTask(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("New Task"));
}

DialogNewTask::~DialogNewTask() = default;
