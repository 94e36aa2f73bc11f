#include "numerictablewidgetitem.h"

#include <cmath>

NumericTableWidgetItem::NumericTableWidgetItem(const QString& text)
    : QTableWidgetItem(text, Type), value(toNumericValue(text)) {}

NumericTableWidgetItem::~NumericTableWidgetItem() = default;

void NumericTableWidgetItem::setData(int role, const QVariant& data) {
    QTableWidgetItem::setData(role, data);
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        value = toNumericValue(text());
}

void NumericTableWidgetItem::read(QDataStream& in) {
    QTableWidgetItem::read(in);
    value = toNumericValue(text());
}

bool NumericTableWidgetItem::operator<(const QTableWidgetItem& other) const {
    const auto* numeric = dynamic_cast<const NumericTableWidgetItem*>(&other);
    return value < (numeric ? numeric->value : toNumericValue(other.text()));
}

double NumericTableWidgetItem::toNumericValue(const QString& text) {
    const int blank = text.indexOf(QLatin1Char(' '));
    const QStringRef firstWord = blank < 0 ? QStringRef(&text) : text.leftRef(blank);
    bool ok = false;
    double value = firstWord.toDouble(&ok);
    // "nan" or "inf" would break the ordering the sort relies on.
    if (!ok || !std::isfinite(value))
        value = 0;
    if (text.contains(QLatin1String("GB")))
        return value * 1e6;
    if (text.contains(QLatin1String("MB")))
        return value * 1000;
    return value;
}
