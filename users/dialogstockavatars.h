#pragma once

#include <QDialog>
#include <QStyledItemDelegate>

namespace Ui {
class DialogStockAvatars;
}
class QStandardItemModel;

// Draws only an item's picture in a rounded frame showing selection and hover.
class DelegateIconOnly : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit DelegateIconOnly(QObject* parent = nullptr);
    ~DelegateIconOnly() override;
    bool event(QEvent* event) override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// Picks one of the system's stock account pictures.
class DialogStockAvatars : public QDialog {
    Q_OBJECT
public:
    explicit DialogStockAvatars(QWidget* parent = nullptr);
    ~DialogStockAvatars() override;

    QString getSelectedImagePath() const { return selectedImagePath; }
    void accept() override;

    // Whether picture (100x100) looks like the 100x100 part at (6, 6) of tile.
    static bool imagesLookAlike(const QImage& picture, const QImage& tile);

private:
    void addStockFaces();
    void selectCurrentFace();
    void selectLookAlike(const QImage& current);
    void onSelectionChanged();
    static void listCameras();

    Ui::DialogStockAvatars* ui;
    QStandardItemModel* model;
    QString selectedImagePath;
};
