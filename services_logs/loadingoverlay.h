#pragma once

#include <QPixmap>
#include <QWidget>

class QProgressBar;

// A translucent veil with a centred progress bar that lies over a table
// while the table fills. It covers its parent whenever the parent is resized;
// clicks pass through to the table.
class LoadingOverlay : public QWidget {
    Q_OBJECT
public:
    explicit LoadingOverlay(QWidget* parent);
    ~LoadingOverlay() override;

    void setProgress(int percent);
    int progress() const;
    // A picture of what the veil covers, drawn beneath it at offset: the
    // rows a Reload let go stay in sight, paler, until the new ones come.
    void setBackdrop(const QPixmap& picture, const QPoint& offset);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void coverParent();

    QProgressBar* progressBar;
    QPixmap backdrop;
    QPoint backdropOffset;
};
