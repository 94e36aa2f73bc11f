#pragma once

#include <QString>
#include <QTableWidgetItem>

// A table cell that sorts by the number at the start of its text, reading
// sizes written with " KB", " MB" or " GB" in kB.
class NumericTableWidgetItem : public QTableWidgetItem {
public:
    explicit NumericTableWidgetItem(const QString& text);
    ~NumericTableWidgetItem() override;

    void setData(int role, const QVariant& data) override;
    void read(QDataStream& in) override;
    bool operator<(const QTableWidgetItem& other) const override;

    // The first blank-separated word as a number ("." as decimal point, 0
    // when it is not a finite number), times 1e6 for "GB" or 1000 for "MB".
    static double toNumericValue(const QString& text);

private:
    // The number of the text, read whenever the text is set: a sort
    // compares every cell many times.
    double value;
};
