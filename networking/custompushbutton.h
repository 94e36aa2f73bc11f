#pragma once

#include <QIcon>
#include <QPushButton>
#include <QString>

class QNetworkInterface;

// The checkable card button of one network interface: the type icon and
// three lines (type in bold, description, address in small grey).
class CustomPushButton : public QPushButton {
    Q_OBJECT
public:
    CustomPushButton(const QIcon& icon, const QString& typeText, const QString& description,
                     const QString& address, const QString& interfaceName, QWidget* parent = nullptr);
    ~CustomPushButton() override;

    // A button for the interface: its type's icon and text, its first
    // address (or "N/A"), disabled when the interface is down or has no address.
    static CustomPushButton* forInterface(const QNetworkInterface& interface, QWidget* parent);

    QString interfaceName() const { return m_interfaceName; }
    QString typeText() const { return m_typeText; }
    QString description() const { return m_description; }
    QString address() const { return m_address; }

    QSize sizeHint() const override { return QSize(250, 60); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon m_icon;
    QString m_typeText;
    QString m_description;
    QString m_address;
    QString m_interfaceName;
};
