#include "import/valueforms.h"

#include <QtTest>

// How old values travel: numbers as plain decimals with empty as 0, text as it is, and
// the array texts that carry a column of many rows.
class ImportFormsTest : public QObject {
    Q_OBJECT
private slots:
    void convert_data()
    {
        using ImportSteps::Form;
        QTest::addColumn<int>("form");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("isNull");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("null");
        QTest::addColumn<QString>("problem");
        const int integer = int(Form::Integer), floating = int(Form::Float), text = int(Form::Text);
        QTest::newRow("integer") << integer << "42" << false << "42" << false << "";
        QTest::newRow("negative integer") << integer << "-7" << false << "-7" << false << "";
        QTest::newRow("integer with blanks") << integer << " 12 " << false << "12" << false << "";
        QTest::newRow("empty integer is 0") << integer << "" << true << "0" << false << "";
        QTest::newRow("blank integer is 0") << integer << "  " << false << "0" << false << "";
        QTest::newRow("whole number written as decimal") << integer << "12.000" << false << "12" << false << "";
        QTest::newRow("whole number with a comma") << integer << "12,0" << false << "12" << false << "";
        QTest::newRow("fraction refused, not rounded") << integer << "2.5" << false << "" << false << "«2.5» — не целое число";
        QTest::newRow("word refused") << integer << "восемь" << false << "" << false << "«восемь» — не число";
        QTest::newRow("float") << floating << "12.5" << false << "12.5" << false << "";
        QTest::newRow("float with a comma") << floating << "0,75" << false << "0.75" << false << "";
        QTest::newRow("float with exponent") << floating << "1e-05" << false << "1e-05" << false << "";
        QTest::newRow("empty float is 0") << floating << "" << true << "0" << false << "";
        QTest::newRow("infinity refused") << floating << "inf" << false << "" << false << "«inf» — не число";
        QTest::newRow("float word refused") << floating << "дорого" << false << "" << false << "«дорого» — не число";
        QTest::newRow("text as it is") << text << " Иванов \"И\" " << false << " Иванов \"И\" " << false << "";
        QTest::newRow("empty text stays empty") << text << "" << true << "" << true << "";
        QTest::newRow("text of digits stays text") << text << "0012" << false << "0012" << false << "";
    }
    void convert()
    {
        QFETCH(int, form);
        QFETCH(QString, value);
        QFETCH(bool, isNull);
        QFETCH(QString, text);
        QFETCH(bool, null);
        QFETCH(QString, problem);
        const ValueForms::Converted c = ValueForms::convert(ImportSteps::Form(form), value, isNull);
        QCOMPARE(c.problem, problem);
        QCOMPARE(c.null, null);
        if (problem.isEmpty())
            QCOMPARE(c.text, text);
    }

    void arrayText()
    {
        ValueForms::ArrayText numbers;
        QCOMPARE(numbers.finish(), QStringLiteral("{}"));
        numbers.appendNumber(QStringLiteral("1"));
        numbers.appendNumber(QStringLiteral("-2.5"));
        QCOMPARE(numbers.finish(), QStringLiteral("{1,-2.5}"));

        ValueForms::ArrayText texts;
        texts.appendText(QStringLiteral("КР \"1\""));
        texts.appendNull();
        texts.appendText(QStringLiteral("a\\b, {c}"));
        texts.appendText(QString());
        QCOMPARE(texts.finish(), QStringLiteral("{\"КР \\\"1\\\"\",NULL,\"a\\\\b, {c}\",\"\"}"));
    }
};

QTEST_MAIN(ImportFormsTest)
#include "tst_importforms.moc"
