#include "custompushbutton.h"

#include <QFontMetrics>
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

CustomPushButton* CustomPushButton::forInterface(const QNetworkInterface& networkInterface, QWidget* parent) {
    QString iconName = QStringLiteral(":/icons/network");
    QString typeText = QStringLiteral("Network");
    switch (networkInterface.type()) {
    case QNetworkInterface::Wifi:
        iconName = QStringLiteral(":/icons/wifi");
        typeText = QStringLiteral("Wi-Fi");
        break;
    case QNetworkInterface::Loopback:
        iconName = QStringLiteral(":/icons/loop");
        typeText = QStringLiteral("Loopback");
        break;
    case QNetworkInterface::Ethernet:
        iconName = QStringLiteral(":/icons/ethernet");
        typeText = QStringLiteral("Ethernet");
        break;
    default:
        break;
    }
    QString address = QStringLiteral("N/A");
    const QList<QNetworkAddressEntry> entries = networkInterface.addressEntries();
    for (const QNetworkAddressEntry& entry : entries) {
        if (!entry.ip().isNull()) {
            address = entry.ip().toString();
            break;
        }
    }
    auto* button = new CustomPushButton(QIcon(iconName), typeText, networkInterface.humanReadableName(),
                                        address, networkInterface.name(), parent);
    const bool up = networkInterface.flags() & QNetworkInterface::IsUp;
    button->setEnabled(up && address != QLatin1String("N/A"));
    return button;
}

QString CustomPushButton::interfaceName() const {
    return m_interfaceName;
}

QSize CustomPushButton::sizeHint() const {
    return QSize(250, 60);
}

void CustomPushButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    QPainter painter(this);
    QFont bold = painter.font();
    bold.setWeight(QFont::Bold);
    QFont regular = painter.font();
    regular.setWeight(QFont::Normal);
    QFont small = regular;
    small.setPointSize(qMax(1, regular.pointSize() - 2));
    const QFontMetrics boldMetrics(bold), regularMetrics(regular), smallMetrics(small);

    const int w1 = boldMetrics.horizontalAdvance(m_typeText);
    const int w2 = regularMetrics.horizontalAdvance(m_description);
    const int w3 = smallMetrics.horizontalAdvance(m_address);
    const int contentWidth = qMax(w1, qMax(w2, w3)) + 48 + 10;
    const int x0 = (width() - contentWidth) / 2;

    const QRect iconRect(x0, (height() - 48) / 2, 48, 48);
    if (!isEnabled())
        painter.setOpacity(0.5);
    m_icon.paint(&painter, iconRect, Qt::AlignCenter, QIcon::Normal, QIcon::Off);
    painter.setOpacity(1.0);

    const int x = x0 + 58;
    const int blockHeight = smallMetrics.height() + 30;
    const int y0 = (height() - blockHeight) / 2;
    painter.setFont(bold);
    painter.drawText(QRect(x, y0, w1, 15), Qt::AlignLeft | Qt::AlignVCenter, m_typeText);
    painter.setFont(regular);
    painter.drawText(QRect(x, y0 + 15, w2, 15), Qt::AlignLeft | Qt::AlignVCenter, m_description);
    painter.setFont(small);
    painter.setPen(isEnabled() ? QColor(128, 128, 128) : QColor(192, 192, 192));
    painter.drawText(QRect(x, y0 + 30, w3, smallMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     m_address);
}
