#include "custompushbutton.h"

#include <QNetworkInterface>
#include <QPainter>

CustomPushButton::CustomPushButton(const QIcon& icon, const QString& typeText, const QString& description,
                                   const QString& address, const QString& interfaceName, QWidget* parent)
    : QPushButton(parent), m_icon(icon), m_typeText(typeText), m_description(description), m_address(address),
      m_interfaceName(interfaceName) {
    setCheckable(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

CustomPushButton::~CustomPushButton() = default;

CustomPushButton* CustomPushButton::forInterface(const QNetworkInterface& interface, QWidget* parent) {
    QString iconPath = QStringLiteral(":/icons/network");
    QString typeText = QStringLiteral("Network");
    switch (interface.type()) {
    case QNetworkInterface::Wifi:
        iconPath = QStringLiteral(":/icons/wifi");
        typeText = QStringLiteral("Wi-Fi");
        break;
    case QNetworkInterface::Loopback:
        iconPath = QStringLiteral(":/icons/loop");
        typeText = QStringLiteral("Loopback");
        break;
    case QNetworkInterface::Ethernet:
        iconPath = QStringLiteral(":/icons/ethernet");
        typeText = QStringLiteral("Ethernet");
        break;
    default:
        break;
    }
    QString address = QStringLiteral("N/A");
    bool hasAddress = false;
    for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
        if (!entry.ip().isNull()) {
            address = entry.ip().toString();
            hasAddress = true;
            break;
        }
    }
    auto* button = new CustomPushButton(QIcon(iconPath), typeText, interface.humanReadableName(), address,
                                        interface.name(), parent);
    button->setEnabled(interface.flags().testFlag(QNetworkInterface::IsUp) && hasAddress);
    return button;
}

void CustomPushButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    QPainter painter(this);

    QFont bold = painter.font();
    bold.setWeight(QFont::Bold);
    QFont regular = painter.font();
    regular.setWeight(QFont::Normal);
    QFont small = regular;
    if (regular.pointSize() > 0)
        small.setPointSize(qMax(1, regular.pointSize() - 2));
    else
        small.setPixelSize(qMax(1, regular.pixelSize() - 2));
    const QFontMetrics boldMetrics(bold), regularMetrics(regular), smallMetrics(small);

    const int w1 = boldMetrics.horizontalAdvance(m_typeText);
    const int w2 = regularMetrics.horizontalAdvance(m_description);
    const int w3 = smallMetrics.horizontalAdvance(m_address);
    const int iconSize = 48;
    const int contentWidth = qMax(w1, qMax(w2, w3)) + iconSize + 10;
    const int x0 = (width() - contentWidth) / 2;

    const QRect iconRect(x0, (height() - iconSize) / 2, iconSize, iconSize);
    if (!isEnabled())
        painter.setOpacity(0.5);
    m_icon.paint(&painter, iconRect, Qt::AlignCenter, QIcon::Normal, QIcon::Off);
    painter.setOpacity(1.0);

    const int x = x0 + iconSize + 10;
    const int blockHeight = smallMetrics.height() + 30;
    const int y0 = (height() - blockHeight) / 2;
    const int flags = Qt::AlignLeft | Qt::AlignVCenter;
    painter.setFont(bold);
    painter.drawText(QRect(x, y0, w1, 15), flags, m_typeText);
    painter.setFont(regular);
    painter.drawText(QRect(x, y0 + 15, w2, 15), flags, m_description);
    painter.setFont(small);
    painter.setPen(isEnabled() ? QColor(128, 128, 128) : QColor(192, 192, 192));
    painter.drawText(QRect(x, y0 + 30, w3, smallMetrics.height()), flags, m_address);
}
