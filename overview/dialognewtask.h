#pragma once

#include <QDialog>

namespace Ui {
class DialogNewTask;
}

// File > New Task: opens what the user types as a URL, as a file or folder,
// or starts it as a command (split into program and arguments, no shell).
// What cannot be opened or started is said in a message, with the reason.
class DialogNewTask : public QDialog {
    Q_OBJECT
public:
    explicit DialogNewTask(QWidget* parent = nullptr);
    ~DialogNewTask() override;

    // What a text is taken for, in this order of precedence.
    enum class Kind { Url, File, Command };
    // The text as it will be used: trimmed, and when it starts with "~",
    // every "~" replaced by the home folder.
    static QString expandText(const QString& text);
    static Kind kindOf(const QString& expandedText);

    // Why program (as typed, before the search path) cannot be started;
    // empty when nothing speaks against it.
    static QString whyNotStartable(const QString& program);

private:
    void onAccepted();
    // Says, without blocking, that the text could not be opened or started.
    void showFailure(const QString& text);

    Ui::DialogNewTask* ui;
};
