#pragma once

#include <QIcon>
#include <QPushButton>
#include <QString>

class QNetworkInterface;

// The checkable card of one network interface: a type icon beside three
// lines (type in bold, description, address in grey).
class CustomPushButton : public QPushButton {
    Q_OBJECT
public:
    CustomPushButton(const QIcon& icon, const QString& typeText, const QString& description,
                     const QString& address, const QString& interfaceName, QWidget* parent = nullptr);
    ~CustomPushButton() override;

    // The card of an interface, disabled when it is down or has no address.
    static CustomPushButton* forInterface(const QNetworkInterface& networkInterface, QWidget* parent);

    QString interfaceName() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon m_icon;
    QString m_typeText;
    QString m_description;
    QString m_address;
    QString m_interfaceName;
};
