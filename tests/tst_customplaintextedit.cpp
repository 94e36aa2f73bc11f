#include "customplaintextedit.h"

#include <QSignalSpy>
#include <QtTest>

// The payload panes driven with real mouse and key events on a shown widget.
class TestCustomPlainTextEdit : public QObject {
    Q_OBJECT

    // The hex view of bytes 0, 1, 2 ...: "00 01 02".
    static QString hexText(int bytes) {
        QStringList parts;
        for (int i = 0; i < bytes; ++i)
            parts << QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper();
        return parts.join(QLatin1Char(' '));
    }

    static void clickAt(CustomPlainTextEdit& edit, int position) {
        QTextCursor cursor(edit.document());
        cursor.setPosition(position);
        const QRect rect = edit.cursorRect(cursor);
        // Just right of the character's left edge, so the click lands on it.
        QTest::mouseClick(edit.viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(rect.x() + 1, rect.center().y()));
    }

    static void showPane(CustomPlainTextEdit& edit, bool hex, const QString& text, int width = 400) {
        edit.setHexView(hex);
        edit.setPlainText(text);
        edit.resize(width, 200);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
    }

private slots:
    void clickSelectsWholeByte_data() {
        QTest::addColumn<int>("clickPosition");
        QTest::addColumn<int>("byteStart");
        QTest::newRow("first digit of the first byte") << 0 << 0;
        QTest::newRow("space after the third byte") << 8 << 6;
        QTest::newRow("last digit of the last byte") << 10 << 9;
    }
    void clickSelectsWholeByte() {
        QFETCH(int, clickPosition);
        QFETCH(int, byteStart);
        CustomPlainTextEdit edit;
        showPane(edit, true, hexText(4));
        QSignalSpy hexSpy(&edit, &CustomPlainTextEdit::hexClicked);
        clickAt(edit, clickPosition);
        QCOMPARE(edit.textCursor().selectionStart(), byteStart);
        QCOMPARE(edit.textCursor().selectionEnd(), byteStart + 2);
        QCOMPARE(hexSpy.count(), 1);
        QCOMPARE(hexSpy.first().first().toInt(), byteStart);
    }

    void leftAndRightStopAtTheEnds() {
        CustomPlainTextEdit edit;
        showPane(edit, true, hexText(4));
        clickAt(edit, 0);
        QSignalSpy hexSpy(&edit, &CustomPlainTextEdit::hexClicked);
        QTest::keyClick(&edit, Qt::Key_Left);
        QCOMPARE(edit.textCursor().selectionStart(), 0);
        QCOMPARE(edit.textCursor().selectionEnd(), 2);
        QCOMPARE(hexSpy.count(), 0);

        QTest::keyClick(&edit, Qt::Key_Right);
        QCOMPARE(edit.textCursor().selectedText(), QStringLiteral("01"));
        QCOMPARE(hexSpy.count(), 1);
        QCOMPARE(hexSpy.last().first().toInt(), 3);

        clickAt(edit, 9);
        hexSpy.clear();
        QTest::keyClick(&edit, Qt::Key_Right);
        QCOMPARE(edit.textCursor().selectionStart(), 9);
        QCOMPARE(edit.textCursor().selectionEnd(), 11);
        QCOMPARE(hexSpy.count(), 0);
    }

    void upAndDownEndOnAWholeByte() {
        CustomPlainTextEdit edit;
        // Narrow enough for the bytes to wrap over several lines.
        showPane(edit, true, hexText(60), 160);
        clickAt(edit, 3);
        QSignalSpy hexSpy(&edit, &CustomPlainTextEdit::hexClicked);
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up}) {
            QTest::keyClick(&edit, key);
            const QTextCursor cursor = edit.textCursor();
            QCOMPARE(cursor.selectionStart() % 3, 0);
            QCOMPARE(cursor.selectionEnd() - cursor.selectionStart(), 2);
            QVERIFY(!hexSpy.isEmpty());
            QCOMPARE(hexSpy.last().first().toInt(), cursor.selectionStart());
        }
        QCOMPARE(hexSpy.count(), 3);
        QVERIFY(edit.textCursor().selectionStart() > 3);
    }

    void asciiPaneReportsTheClickedCharacter() {
        CustomPlainTextEdit edit;
        showPane(edit, false, QStringLiteral("GET /index.html"));
        QSignalSpy asciiSpy(&edit, &CustomPlainTextEdit::asciiClicked);
        clickAt(edit, 4);
        QCOMPARE(asciiSpy.count(), 1);
        QCOMPARE(asciiSpy.first().first().toInt(), 4);
    }

    void emptyPaneIgnoresClicksAndKeys() {
        CustomPlainTextEdit edit;
        showPane(edit, true, QString());
        QSignalSpy hexSpy(&edit, &CustomPlainTextEdit::hexClicked);
        QTest::mouseClick(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QTest::keyClick(&edit, Qt::Key_Right);
        QTest::keyClick(&edit, Qt::Key_Down);
        QCOMPARE(hexSpy.count(), 0);
    }
};

QTEST_MAIN(TestCustomPlainTextEdit)
#include "tst_customplaintextedit.moc"
