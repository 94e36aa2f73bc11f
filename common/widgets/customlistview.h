#pragma once

#include <QListView>

// A list view whose right click selects the item under the cursor (before any
// context menu opens) and whose click on empty space clears the selection.
class CustomListView : public QListView {
    Q_OBJECT
public:
    explicit CustomListView(QWidget* parent = nullptr);
    ~CustomListView() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
