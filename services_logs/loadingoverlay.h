#pragma once

#include <QWidget>

class QProgressBar;

// A translucent veil with a centred progress bar that lies over a table
// while the table fills. Clicks pass through to the table.
class LoadingOverlay : public QWidget {
    Q_OBJECT
public:
    explicit LoadingOverlay(QWidget* parent);
    ~LoadingOverlay() override;

    void setProgress(int percent);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QProgressBar* progressBar;
};
