#pragma once

#include <QByteArray>
#include <QColor>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

class QWidget;

// What the programs that test the user dialogs under the real X server
// share: a temporary root for every file the program keeps for accounts,
// message boxes answered with their default button (their titles and texts
// kept), throwaway accounts removed again, and stand-in machines for the
// Edit User dialog. Qt Test runs its initTestCase and cleanupTestCase for
// every test class derived from it.
class UserDialogsFixture : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

protected:
    // A throwaway account name, removed with its account at the end.
    QString fresh();
    static QStringList groupsOf(const QString& name);
    // The groups an account made or retyped by the program belongs to: its
    // own, those of its type that the machine had when this run started (a
    // copy of the group file in the test's root, which no other suite's
    // accounts change), and extra.
    QStringList expectedGroups(const QString& name, bool administrator,
                               const QStringList& extra = QStringList()) const;
    // Empty when name's groups are expected; else which are missing or unexpected.
    static QString groupsProblem(const QString& name, const QStringList& expected);
    static uint ownerOf(const QString& path);
    // For a page that lists every account with its picture: the root's
    // account file holds only root and this run's throwaway accounts as
    // they are now (called again after each change), never the machine's
    // other accounts and homes; showLiveAccounts() links it back.
    void showOnlyThisRunsAccounts() const;
    void showLiveAccounts() const;
    static void writeImage(const QString& path, QSize size, QColor colour);

    // Uses the fixture tree of tests/data/users (alice the only administrator)
    // for the rest of a test function.
    struct FixtureRoot {
        QTemporaryDir dir;
        FixtureRoot();
        ~FixtureRoot();
        QString previous;
    };

    // A machine of its own for the Edit User dialog: account files, settings
    // and lightdm.conf in a temporary root, and stand-ins for usermod and
    // gpasswd that log their arguments (usermod also edits the group file),
    // so that a save touches nothing real and every command is seen.
    struct EditMachine {
        QTemporaryDir dir;
        QString previousRoot;
        QStringList previousSearchPath;
        explicit EditMachine(const QByteArray& passwd, const QByteArray& group);
        ~EditMachine();
        QString file(const char* path) const { return dir.path() + QLatin1String(path); }
        void write(const char* path, const QByteArray& content) const;
        QByteArray read(const char* path) const;
        QStringList commands() const;
    };
    static QByteArray twoAdministrators();
    static QByteArray aliceAndBob(const QByteArray& aliceName = "Alice");

    // Pictures of the dialogs, taken only when asked for (scripts/screenshots).
    static void shoot(QWidget* widget, const QString& name);

    // Chooses path with Browse... in the menu of a dialog's account picture
    // and the file dialog; back once the file dialog has closed.
    static void browse(QWidget* avatar, const QString& path);

    QStringList accounts;
    QTimer dismisser;
    QStringList titles; // of the message boxes answered
    QStringList texts;  // and their texts
    int messagesShot = 0;
    QTemporaryDir root;
    QString faces;
};
