#include "ui/datetyping.h"
#include "ui/messages.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

// Typing a date into a date box: what a typed text reads as, and a box reached by Tab,
// by a click, by Ctrl+A or by Home taking the whole date typed.
class DateTypingTest : public QObject {
    Q_OBJECT
    QWidget window;
    QLineEdit* before = nullptr;
    QDateEdit* box = nullptr;
    const QDate shown{2026, 2, 11};   // a short month: a day typed past its end is no trap

    QLineEdit* boxText() const { return box->findChild<QLineEdit*>(); }
    void reach(const QString& way)
    {
        box->setDate(shown);
        before->setFocus();
        if (way == u"Tab") {
            QTest::keyClick(before, Qt::Key_Tab);
            return;
        }
        QTest::mouseClick(boxText(), Qt::LeftButton, {}, boxText()->rect().center());
        if (way == u"click, Ctrl+A")
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        else if (way == u"click, Home")
            QTest::keyClick(box, Qt::Key_Home);
    }

private slots:
    void initTestCase()
    {
        auto* layout = new QVBoxLayout(&window);
        before = new QLineEdit(&window);
        box = new QDateEdit(&window);
        box->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        box->setCalendarPopup(true);
        layout->addWidget(before);
        layout->addWidget(box);
        DateTyping::install(box);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    void reading_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("finished");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QDate>("date");
        const int incomplete = int(DateTyping::Kind::Incomplete), whole = int(DateTyping::Kind::Whole),
                  unreadable = int(DateTyping::Kind::Unreadable);
        QTest::newRow("30.11.2026") << "30.11.2026" << false << whole << QDate(2026, 11, 30);
        QTest::newRow("30112026") << "30112026" << false << whole << QDate(2026, 11, 30);
        QTest::newRow("1.3.2026") << "1.3.2026" << false << whole << QDate(2026, 3, 1);
        QTest::newRow("1/3/2026") << "1/3/2026" << false << whole << QDate(2026, 3, 1);
        QTest::newRow("29.02.2028, a leap year") << "29.02.2028" << false << whole << QDate(2028, 2, 29);
        QTest::newRow("30.11.202 on the way") << "30.11.202" << false << incomplete << QDate();
        QTest::newRow("3011 on the way") << "3011" << false << incomplete << QDate();
        QTest::newRow("30.11.26 on the way") << "30.11.26" << false << incomplete << QDate();
        QTest::newRow("30.11.26 at Enter") << "30.11.26" << true << whole << QDate(2026, 11, 30);
        QTest::newRow("301126 at Enter") << "301126" << true << whole << QDate(2026, 11, 30);
        QTest::newRow("3011 at Enter") << "3011" << true << unreadable << QDate();
        QTest::newRow("31.02.2026, no such day") << "31.02.2026" << false << unreadable << QDate();
        QTest::newRow("13th month") << "01132026" << false << unreadable << QDate();
        QTest::newRow("nine digits") << "301120261" << false << unreadable << QDate();
        QTest::newRow("three parts and more") << "30.11.2026.1" << false << unreadable << QDate();
    }
    void reading()
    {
        QFETCH(QString, typed);
        QFETCH(bool, finished);
        QFETCH(int, kind);
        QFETCH(QDate, date);
        const DateTyping::Reading r = DateTyping::read(typed, finished);
        QCOMPARE(int(r.kind), kind);
        QCOMPARE(r.date, date);
    }

    // However the box is reached, the date typed whole is the box's date; one that cannot
    // be read is refused with a message, the box keeping its date and showing what was typed.
    void typingIntoTheBox_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date");
        for (const char* way : {"Tab", "click", "click, Ctrl+A", "click, Home"}) {
            QTest::addRow("%s, 30.11.2026", way) << way << "30.11.2026" << QDate(2026, 11, 30);
            QTest::addRow("%s, 30112026", way) << way << "30112026" << QDate(2026, 11, 30);
            QTest::addRow("%s, 31.02.2026 refused", way) << way << "31.02.2026" << QDate();
        }
        QTest::newRow("30.11.26 and Enter") << "click" << "30.11.26\n" << QDate(2026, 11, 30);
        QTest::newRow("3011 and Enter refused") << "click, Home" << "3011\n" << QDate();
        QTest::newRow("Backspace mends a digit") << "click" << "\b\b27" << QDate(2027, 2, 11);
    }
    void typingIntoTheBox()
    {
        QFETCH(QString, way);
        QFETCH(QString, typed);
        QFETCH(QDate, date);
        Messages::Recorder recorder;
        reach(way);
        QVERIFY(box->hasFocus());
        for (const QChar c : typed) {
            if (c == u'\n')
                QTest::keyClick(box, Qt::Key_Return);
            else if (c == u'\b')
                QTest::keyClick(box, Qt::Key_Backspace);
            else
                QTest::keyClicks(box, QString(c));
        }
        const QString text = typed.trimmed().remove(u'\b');
        if (date.isValid()) {
            QCOMPARE(box->date(), date);
            QCOMPARE(boxText()->text(), date.toString(QStringLiteral("dd.MM.yyyy")));
            QCOMPARE(recorder.texts(), QStringList());
        } else {
            QCOMPARE(box->date(), shown);
            QCOMPARE(boxText()->text(), text);
            QCOMPARE(recorder.texts(), QStringList{DateTyping::kUnreadable.arg(text)});
        }
    }

    // Leaving the box with a date that cannot be read: refused, and the box shows its date.
    void leavingWithAnUnreadableDate()
    {
        Messages::Recorder recorder;
        reach(QStringLiteral("click"));
        QTest::keyClicks(box, QStringLiteral("3011"));
        before->setFocus();
        QCOMPARE(box->date(), shown);
        QCOMPARE(boxText()->text(), QStringLiteral("11.02.2026"));
        QCOMPARE(recorder.texts(), QStringList{DateTyping::kUnreadable.arg(QStringLiteral("3011"))});
    }
};

QTEST_MAIN(DateTypingTest)
#include "tst_datetyping.moc"
