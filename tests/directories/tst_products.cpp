#include "app/windows.h"
#include "db/datamodule.h"
#include "directories/producteditor.h"
#include "directories/productslist.h"
#include "directories/productsstore.h"
#include "dirtest_windows.h"
#include "support/pasting.h"
#include "support/testdb.h"
#include "ui/digitsedit.h"
#include "ui/messages.h"

#include <QClipboard>
#include <QtTest>

using namespace dirtest;

// The products list and the product editor against the real server: products are
// added through the goods catalogue and listed through its trigger.
class ProductsTest : public QObject, Directory<ProductsList, ProductEditor> {
    Q_OBJECT

    void clearProducts()
    {
        db->exec(QStringLiteral("delete from accounts_dep.oper"));
        db->exec(QStringLiteral("delete from accounts_dep.izdel"));
        db->exec(QStringLiteral("delete from cmn_gds_and_srv.gds_and_srv"));
    }
    // A product as the catalogue lists it.
    qint64 addCatalogued(const QString& marka, double massa)
    {
        return dm()->select(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa) "
                                           "values (:m, '', 6, :v) returning id"),
                            {{QStringLiteral("m"), marka}, {QStringLiteral("v"), massa}})
            .rows[0].value(0).toLongLong();
    }
    // A product of older days that has no catalogue row.
    void addUncatalogued(qint64 id, const QString& marka, double massa)
    {
        dm()->execute(QStringLiteral("insert into accounts_dep.izdel(id, marka, nom, massa) values (%1, :m, '', :v)").arg(id),
                      {{QStringLiteral("m"), marka}, {QStringLiteral("v"), massa}});
    }
    QStringList storedMarkas() const
    {
        QStringList markas;
        for (const QSqlRecord& r : dm()->select(QStringLiteral("select marka from accounts_dep.izdel")).rows)
            markas << r.value(0).toString();
        markas.sort();
        return markas;
    }
    int count(const QString& table) const
    {
        return db->scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt();
    }
    QSqlRecord productRow(qint64 id) const
    {
        const SqlRun::Result r = dm()->select(QStringLiteral("select marka, nom, massa::float8 as massa from accounts_dep.izdel where id=%1").arg(id));
        return r.rows.isEmpty() ? QSqlRecord() : r.rows[0];
    }
    QSqlRecord catalogueRow(qint64 id) const
    {
        const SqlRun::Result r = dm()->select(QStringLiteral("select s_caption, s_description, id_msm_bs::integer as id_msm_bs, massa "
                                                             "from cmn_gds_and_srv.gds_and_srv where id=%1").arg(id));
        return r.rows.isEmpty() ? QSqlRecord() : r.rows[0];
    }

private slots:
    void initTestCase() { setUp(QStringLiteral("products"), &AppWindows::productsList, &AppWindows::productEditor); }
    void cleanupTestCase() { tearDown(); }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    void productGroupFollowsTheLongestPrefix_data()
    {
        QTest::addColumn<QString>("marka");
        QTest::addColumn<QString>("group");
        QTest::newRow("ПЛ") << "ПЛ-12" << "Платик";
        QTest::newRow("КР") << "КР-100" << "Кронштейны оцинкованные";
        QTest::newRow("ПП") << "ПП-3" << "Паранитовые прокладки";
        QTest::newRow("М2") << "М2-40" << "М2";
        QTest::newRow("ПР") << "ПР-60" << "Профиль основной";
        QTest::newRow("ПРН overrides ПР") << "ПРН-40" << "Профиль Н-обр.";
        QTest::newRow("ПРГ") << "ПРГ-20" << "Профиль ГО";
        QTest::newRow("ПРZ with a Latin Z") << "ПРZ-20" << "Профиль Z-обр.";
        QTest::newRow("ПРЗ with a Cyrillic З is ПР") << "ПРЗ-20" << "Профиль основной";
        QTest::newRow("САМ") << "САМ 4,2x16" << "Саморезы";
        QTest::newRow("МДФ") << "МДФ-1" << "МДФ скобы";
        QTest::newRow("УДЛ") << "УДЛ-100" << "Удленитель";
        QTest::newRow("КЛОЦ") << "КЛОЦ-8" << "Кляммеры оцинкованные";
        QTest::newRow("С1КЛ") << "С1КЛ-1" << "Кляммеры поворотные";
        QTest::newRow("С2КЛ") << "С2КЛ-1" << "Кляммеры дистанционные";
        QTest::newRow("С3КЛ") << "С3КЛ-1" << "Кляммеры концевые";
        QTest::newRow("ПДГВ") << "ПДГВ-3000" << "Профильи декоративн. горизонт.вертик.";
        QTest::newRow("ПРД У") << "ПРД У-30" << "Профили дек. угловые";
        QTest::newRow("ПРД В") << "ПРД В-30" << "Профили дек. вертикальные";
        QTest::newRow("ПРД Г") << "ПРД Г-30" << "Профили дек. горизонтальные";
        QTest::newRow("ПРД without a blank is ПР") << "ПРДУ-30" << "Профиль основной";
        QTest::newRow("КЛ430") << "КЛ430-5" << "Кляммеры нерж., 430";
        QTest::newRow("КР АL with a Latin L") << "КР АL-100" << "Кронштейны аллюминиевые";
        QTest::newRow("КР АЛ with a Cyrillic Л is КР") << "КР АЛ-100" << "Кронштейны оцинкованные";
        QTest::newRow("КЛ1304") << "КЛ1304-2" << "Кляммеры нерж., 12Х18";
        QTest::newRow("lower case") << "прн-40" << "Профиль Н-обр.";
        QTest::newRow("lower case Latin") << "кр аl-7" << "Кронштейны аллюминиевые";
        QTest::newRow("no prefix: three characters") << "ZX-900" << "ZX-";
        QTest::newRow("no prefix, blanks trimmed") << "  ab" << "ab";
        QTest::newRow("no prefix, apostrophe") << "O'Brien" << "O'B";
        QTest::newRow("КЛ alone") << "КЛ-5" << "КЛ-";
    }
    void productGroupFollowsTheLongestPrefix()
    {
        QFETCH(QString, marka);
        QFETCH(QString, group);
        QCOMPARE(ProductsStore::productGroup(marka), group);
    }

    void numbersReadAndWritten_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("shown");
        QTest::newRow("whole") << "12" << true << "12" << "12";
        QTest::newRow("decimal comma") << "2,5" << true << "2.5" << "2,5";
        QTest::newRow("six decimals") << "0,123456" << true << "0.123456" << "0,123456";
        QTest::newRow("leading comma") << ",5" << true << "0.5" << "0,5";
        QTest::newRow("zero") << "0" << true << "0" << "0";
        QTest::newRow("large") << "1500000" << true << "1500000" << "1500000";
        QTest::newRow("two commas") << "2,,5" << false << "" << "";
        QTest::newRow("comma only") << "," << false << "" << "";
        QTest::newRow("beyond the column") << "12345678901234567890123" << false << "" << "";
    }
    void numbersReadAndWritten()
    {
        QFETCH(QString, typed);
        QFETCH(bool, isNumber);
        QFETCH(QString, literal);
        QFETCH(QString, shown);
        const std::optional<double> value = ProductsStore::readNumber(typed);
        QCOMPARE(value.has_value(), isNumber);
        if (value) {
            QCOMPARE(ProductsStore::numberLiteral(*value), literal);
            QCOMPARE(ProductsStore::numberText(*value), shown);
        }
    }

    // Typed characters other than digits and one comma are dropped with a hint; pasted
    // or dropped text replaces the box when it is a number and is refused whole, with a
    // message, when it is not: "1e5" never becomes 15, nothing is appended.
    void numberBoxTakesDigitsAndAComma_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("hint");      // empty: none
        QTest::addColumn<bool>("refused");      // a message, the box unchanged
        const QString digitsAndComma = QStringLiteral("Только цифры и запятая");
        QTest::newRow("typed digits") << "typed" << "" << "125" << "125" << "" << false;
        QTest::newRow("typed point becomes comma") << "typed" << "" << "2.5" << "2,5" << "" << false;
        QTest::newRow("typed comma") << "typed" << "" << "2,5" << "2,5" << "" << false;
        QTest::newRow("typed letters dropped") << "typed" << "" << "1a2b.c5-+e" << "12,5" << digitsAndComma << false;
        QTest::newRow("typed Cyrillic dropped") << "typed" << "" << "1ю2б" << "12" << digitsAndComma << false;
        QTest::newRow("typed second comma dropped") << "typed" << "" << "2,5,1" << "2,51" << "Запятая уже есть" << false;
        QTest::newRow("typed seventh decimal dropped") << "typed" << "" << "0,1234567" << "0,123456"
                                                       << "Не больше 22 цифр до запятой и 6 после" << false;
        QTest::newRow("pasted with a unit") << "Ctrl+V" << "" << "3.14 руб." << "" << "" << true;
        QTest::newRow("pasted exponent") << "Ctrl+V" << "7" << "1e5" << "7" << "" << true;
        QTest::newRow("pasted grouped, blanks around") << "Ctrl+V" << "" << "  1 500,75\t" << "1500,75" << "" << false;
        QTest::newRow("pasted replaces, never appends") << "Shift+Ins" << "12" << "2.5" << "2,5" << "" << false;
        QTest::newRow("pasted letters only") << "menu" << "" << "abc" << "" << "" << true;
        QTest::newRow("pasted through the menu") << "menu" << "9" << "0,5" << "0,5" << "" << false;
        QTest::newRow("dropped number") << "dropped" << "9" << "4,25" << "4,25" << "" << false;
        QTest::newRow("dropped two commas") << "dropped" << "9" << "2,,5" << "9" << "" << true;
        QTest::newRow("pasted past the column") << "Ctrl+V" << "1" << "12345678901234567890123" << "1" << "" << true;
    }
    void numberBoxTakesDigitsAndAComma()
    {
        QFETCH(QString, way);
        QFETCH(QString, before);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QFETCH(QString, hint);
        QFETCH(bool, refused);
        editor->prepareAdd();
        Messages::Recorder recorder;
        QString result, hintShown;
        QVERIFY(whileShown([&] { editor->exec(); }, [&](QDialog* e) {
            auto* number = qobject_cast<DigitsEdit*>(edit(e, "Edit2"));
            QVERIFY(number);
            number->setText(before);
            number->end(false);
            pasting::putText(number, input, way);
            result = number->text();
            hintShown = number->lastHint();
        }));
        QCOMPARE(result, expected);
        if (!hint.isEmpty())
            QCOMPARE(hintShown, hint);
        if (refused) {
            QCOMPARE(recorder.shown.size(), 1);
            QVERIFY2(recorder.shown[0].text.contains(input.trimmed()), qPrintable(recorder.shown[0].text));
            QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        } else {
            QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'|')));
        }
    }

    void directoryModeListsProducts()
    {
        clearProducts();
        addCatalogued(QStringLiteral("ПЛ-5"), 2.5);
        addCatalogued(QStringLiteral("КР-100"), 12);
        QVERIFY(whileShown([&] { list->choose(); }, [](QDialog*) {}));

        ListLook look;
        QStringList titles, markas, massas;
        bool izdelOpen = false;
        int massaAlignment = 0;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            look = lookOf(w);
            titles = columnTitles(grid(w));
            markas = columnTexts(grid(w), 0);
            massas = columnTexts(grid(w), 1);
            massaAlignment = grid(w)->model()->index(0, 1).data(Qt::TextAlignmentRole).toInt();
            izdelOpen = dm()->Izdel->isOpen();
            button(w, "Button4")->click();
        }));
        QCOMPARE(list->objectName(), QStringLiteral("TForm3"));
        QCOMPARE(look.caption, QStringLiteral("Изделия"));
        QCOMPARE(titles, (QStringList{QStringLiteral("Марка изделия"), QStringLiteral("Коробки")}));
        QCOMPARE(markas, (QStringList{QStringLiteral("КР-100"), QStringLiteral("ПЛ-5")}));
        QCOMPARE(massas, (QStringList{QStringLiteral("12"), QStringLiteral("2,5")}));
        QVERIFY(massaAlignment & Qt::AlignLeft);
        QVERIFY(izdelOpen);
        QVERIFY(look.addShown);
        QVERIFY(look.addDefault);
        QVERIFY(!look.changeShown);
        QVERIFY(!look.changeDefault);
        QCOMPARE(look.changeText, QStringLiteral("Изменить"));
        QVERIFY(look.deleteShown);
        QVERIFY(!look.searchShown);
        QVERIFY(!dm()->Izdel->isOpen());
    }

    void addGoesThroughTheCatalogue_data()
    {
        QTest::addColumn<QString>("marka");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("storedMarka");
        QTest::addColumn<double>("massa");
        QTest::addColumn<QString>("group");
        QTest::newRow("whole number") << "КР-200" << "12" << "КР-200" << 12.0 << "Кронштейны оцинкованные";
        QTest::newRow("blanks trimmed, case kept") << "  прн-40 " << "2,5" << "прн-40" << 2.5 << "Профиль Н-обр.";
        QTest::newRow("apostrophe and quote") << "O'Brien 5\"" << "0,125" << "O'Brien 5\"" << 0.125 << "O'B";
        QTest::newRow("percent and backslash") << "100% \\ марка" << "7" << "100% \\ марка" << 7.0 << "100";
        QTest::newRow("statement text") << "x'); delete from accounts_dep.izdel; --" << "1"
                                        << "x'); delete from accounts_dep.izdel; --" << 1.0 << "x')";
        QTest::newRow("Latin look-alike of a Cyrillic marka") << "KP-100" << "3" << "KP-100" << 3.0 << "KP-";
        const QString longest = QStringLiteral("ПЛ") + QString(ProductsStore::kMaxMarka - 2, QChar(u'Ж'));
        QTest::newRow("254 characters") << longest << "4" << longest << 4.0 << "Платик";
    }
    void addGoesThroughTheCatalogue()
    {
        QFETCH(QString, marka);
        QFETCH(QString, number);
        QFETCH(QString, storedMarka);
        QFETCH(double, massa);
        QFETCH(QString, group);
        clearProducts();
        addCatalogued(QStringLiteral("КР-100"), 12);
        addCatalogued(QStringLiteral("ПЛ-5"), 2.5);
        addCatalogued(QStringLiteral("ЯЯ-1"), 1);
        editor->prepareChange(1, QStringLiteral("left over"), 9);

        Messages::Recorder recorder;
        QString caption;
        int editorMode = 0, currentAfter = 0;
        bool boxesWereEmpty = false, markaHasFocus = false, editorClosed = false;
        QStringList listed;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            dm()->Izdel->setRecNo(2);
            whileShown([&] { button(w, "Button1")->click(); }, [&](QDialog* e) {
                caption = e->windowTitle();
                editorMode = editor->mode();
                boxesWereEmpty = edit(e, "Edit1")->text().isEmpty() && edit(e, "Edit2")->text().isEmpty();
                markaHasFocus = e->focusWidget() == edit(e, "Edit1");
                typeText(edit(e, "Edit1"), marka);
                QTest::keyClicks(edit(e, "Edit2"), number);
                button(e, "Button1")->click();
                editorClosed = !e->isVisible();
            });
            listed = columnTexts(grid(w));
            currentAfter = dm()->Izdel->recNo();
        }));
        QCOMPARE(caption, QStringLiteral("Заведение нового изделия"));
        QCOMPARE(editorMode, 1);
        QVERIFY(boxesWereEmpty);
        QVERIFY(markaHasFocus);
        QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'|')));
        QVERIFY(editorClosed);
        QCOMPARE(currentAfter, 2);
        QVERIFY(listed.contains(storedMarka));

        const SqlRun::Result added = dm()->select(QStringLiteral("select id from accounts_dep.izdel where marka=:m"),
                                                  {{QStringLiteral("m"), storedMarka}});
        QCOMPARE(added.rows.size(), 1);
        const qint64 id = added.rows[0].value(0).toLongLong();
        const QSqlRecord product = productRow(id);
        QCOMPARE(product.value("massa").toDouble(), massa);
        QCOMPARE(product.value("nom").toString(), group);
        const QSqlRecord catalogue = catalogueRow(id);
        QCOMPARE(catalogue.value("s_caption").toString(), storedMarka);
        QCOMPARE(catalogue.value("s_description").toString(), group);
        QCOMPARE(catalogue.value("id_msm_bs").toInt(), 6);
        QCOMPARE(catalogue.value("massa").toDouble(), massa);
        QCOMPARE(count(QStringLiteral("accounts_dep.izdel")), 4);
        QCOMPARE(count(QStringLiteral("cmn_gds_and_srv.gds_and_srv")), 4);
    }

    void saveRefusesBadInput_data()
    {
        QTest::addColumn<QString>("marka");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("message");
        const QString empty = QStringLiteral("Все поля должны быть заполнены!");
        const QString taken = QStringLiteral("Такая марка изделия уже заведена!");
        QTest::newRow("no marka") << "" << "5" << empty;
        QTest::newRow("blank marka") << "   " << "5" << empty;
        QTest::newRow("no number") << "ПЛ-1" << "" << empty;
        QTest::newRow("blank number") << "ПЛ-1" << "  " << empty;
        QTest::newRow("other letter case") << "кр-100" << "5" << taken;
        QTest::newRow("other case and blanks") << "  Кр-100 " << "5" << taken;
        QTest::newRow("Cyrillic ё") << "ёлка-1" << "5" << taken;
        QTest::newRow("apostrophe marka taken") << "o'brien" << "5" << taken;
        QTest::newRow("marka stored with trailing blanks") << "пп-3" << "5" << taken;
        QTest::newRow("255 characters") << QString(ProductsStore::kMaxMarka + 1, QChar(u'Ж')) << "5"
                                        << "Марка изделия не может быть длиннее 254 знаков!";
        QTest::newRow("two commas") << "ПЛ-1" << "2,,5" << "\"2,,5\" не является числом!";
        QTest::newRow("comma only") << "ПЛ-1" << "," << "\",\" не является числом!";
        QTest::newRow("too large") << "ПЛ-1" << "12345678901234567890123"
                                   << "Число \"12345678901234567890123\" слишком велико!";
    }
    void saveRefusesBadInput()
    {
        QFETCH(QString, marka);
        QFETCH(QString, number);
        QFETCH(QString, message);
        clearProducts();
        addCatalogued(QStringLiteral("КР-100"), 12);
        addCatalogued(QStringLiteral("ЁЛКА-1"), 1);
        addCatalogued(QStringLiteral("O'Brien"), 1);
        addCatalogued(QStringLiteral("ПП-3  "), 1);
        Messages::Recorder recorder;
        bool editorOpen = false;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            whileShown([&] { button(w, "Button1")->click(); }, [&](QDialog* e) {
                edit(e, "Edit1")->setText(marka);
                edit(e, "Edit2")->setText(number);
                button(e, "Button1")->click();
                editorOpen = e->isVisible();
            });
        }));
        QVERIFY(editorOpen);
        QCOMPARE(recorder.texts(), QStringList{message});
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Error);
        QCOMPARE(storedMarkas(), (QStringList{"O'Brien", "ЁЛКА-1", "КР-100", "ПП-3  "}));
        QCOMPARE(count(QStringLiteral("cmn_gds_and_srv.gds_and_srv")), 4);
    }

    void changeRewritesTheProductInPlace_data()
    {
        QTest::addColumn<QString>("which");     // marka of the product changed
        QTest::addColumn<QString>("marka");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("numberShown");
        QTest::addColumn<QString>("message");   // empty: saved
        QTest::newRow("own marka unchanged, new number") << "КР-100" << "КР-100" << "15" << "12" << "";
        QTest::newRow("own marka in other letter case") << "КР-100" << "кр-100" << "12" << "12" << "";
        QTest::newRow("new marka and group") << "ПЛ-5" << "ПРГ-7" << "3,75" << "2,5" << "";
        QTest::newRow("apostrophe") << "ПЛ-5" << "ПЛ-5'6\"" << "2,5" << "2,5" << "";
        QTest::newRow("product without catalogue row") << "СТАРОЕ-1" << "СТАРОЕ-2" << "8" << "0,5" << "";
        QTest::newRow("another product's marka") << "КР-100" << "пл-5" << "12" << "12"
                                                 << "Такая марка изделия уже заведена!";
    }
    void changeRewritesTheProductInPlace()
    {
        QFETCH(QString, which);
        QFETCH(QString, marka);
        QFETCH(QString, number);
        QFETCH(QString, numberShown);
        QFETCH(QString, message);
        clearProducts();
        addCatalogued(QStringLiteral("КР-100"), 12);
        addCatalogued(QStringLiteral("ПЛ-5"), 2.5);
        addUncatalogued(900001, QStringLiteral("СТАРОЕ-1"), 0.5);
        const qint64 id = db->scalar(QStringLiteral("select id from accounts_dep.izdel where marka='%1'").arg(which)).toLongLong();
        const bool catalogued = catalogueRow(id).value(0).isValid();
        const QSqlRecord before = productRow(id);

        Messages::Recorder recorder;
        QString caption, markaShown, numberBefore;
        int editorMode = 0, rowBefore = 0, rowAfter = 0;
        qint64 editorId = 0;
        bool editorOpen = true;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            dm()->Izdel->locate(QStringLiteral("marka"), which);
            rowBefore = dm()->Izdel->recNo();
            whileShown([&] { doubleClickRow(grid(w), rowBefore - 1); }, [&](QDialog* e) {
                caption = e->windowTitle();
                editorMode = editor->mode();
                editorId = editor->productId();
                markaShown = edit(e, "Edit1")->text();
                numberBefore = edit(e, "Edit2")->text();
                edit(e, "Edit1")->setText(marka);
                edit(e, "Edit2")->setText(number);
                button(e, "Button1")->click();
                editorOpen = e->isVisible();
            });
            rowAfter = dm()->Izdel->recNo();
        }));
        QCOMPARE(caption, QStringLiteral("Изменение данных изделия"));
        QCOMPARE(editorMode, 2);
        QCOMPARE(editorId, id);
        QCOMPARE(markaShown, which);
        QCOMPARE(numberBefore, numberShown);
        QCOMPARE(rowAfter, rowBefore);
        QCOMPARE(count(QStringLiteral("accounts_dep.izdel")), 3);
        QCOMPARE(count(QStringLiteral("cmn_gds_and_srv.gds_and_srv")), 2);
        const QSqlRecord product = productRow(id);
        if (!message.isEmpty()) {
            QVERIFY(editorOpen);
            QCOMPARE(recorder.texts(), QStringList{message});
            QCOMPARE(product.value("marka").toString(), before.value("marka").toString());
            QCOMPARE(product.value("massa").toDouble(), before.value("massa").toDouble());
            return;
        }
        QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'|')));
        QVERIFY(!editorOpen);
        const double massa = *ProductsStore::readNumber(number);
        QCOMPARE(product.value("marka").toString(), marka);
        QCOMPARE(product.value("massa").toDouble(), massa);
        QCOMPARE(product.value("nom").toString(), ProductsStore::productGroup(marka));
        if (catalogued) {
            const QSqlRecord catalogue = catalogueRow(id);
            QCOMPARE(catalogue.value("s_caption").toString(), marka);
            QCOMPARE(catalogue.value("s_description").toString(), ProductsStore::productGroup(marka));
            QCOMPARE(catalogue.value("massa").toDouble(), massa);
        }
    }

    void deleteAsksAndRereadsInPlace_data()
    {
        QTest::addColumn<int>("row");       // 1-based
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<QString>("current");
        QTest::newRow("No keeps everything") << 2 << false << QStringList{"КР-100", "ПЛ-5", "ПРН-40"} << "ПЛ-5";
        QTest::newRow("middle row") << 2 << true << QStringList{"КР-100", "ПРН-40"} << "ПРН-40";
        QTest::newRow("last row") << 3 << true << QStringList{"КР-100", "ПЛ-5"} << "ПЛ-5";
    }
    void deleteAsksAndRereadsInPlace()
    {
        QFETCH(int, row);
        QFETCH(bool, answer);
        QFETCH(QStringList, remaining);
        QFETCH(QString, current);
        clearProducts();
        for (const char* marka : {"ПЛ-5", "КР-100", "ПРН-40"})
            addCatalogued(QString::fromUtf8(marka), 1);
        Messages::Recorder recorder;
        recorder.answers << answer;
        QStringList listed;
        QString selected;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            dm()->Izdel->setRecNo(row);
            button(w, "Button3")->click();
            listed = columnTexts(grid(w));
            selected = selectedText(grid(w));
        }));
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Удалить изделие?")});
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Удаление"));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Question);
        QCOMPARE(storedMarkas(), remaining);
        QCOMPARE(listed, remaining);
        QCOMPARE(selected, current);
    }

    void deleteOfAProductInUseIsRefusedByTheServer()
    {
        clearProducts();
        const qint64 used = addCatalogued(QStringLiteral("КР-100"), 1);
        addCatalogued(QStringLiteral("ПЛ-5"), 1);
        db->exec(QStringLiteral("insert into accounts_dep.vid_oper(vid) values ('Гибка')"));
        db->exec(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id) select id, 0, %1 from accounts_dep.vid_oper").arg(used));
        Messages::Recorder recorder;
        QStringList listed;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            button(w, "Button3")->click();
            listed = columnTexts(grid(w));
        }));
        QCOMPARE(recorder.shown.size(), 2);
        QVERIFY2(recorder.shown[1].text.contains(QStringLiteral("Изделие \"КР-100\" используется в операциях")),
                 qPrintable(recorder.shown[1].text));
        QCOMPARE(recorder.shown[1].caption, QStringLiteral("Ошибка"));
        QCOMPARE(listed, (QStringList{"КР-100", "ПЛ-5"}));
        QCOMPARE(storedMarkas(), (QStringList{"КР-100", "ПЛ-5"}));
        db->exec(QStringLiteral("delete from accounts_dep.oper"));
        db->exec(QStringLiteral("delete from accounts_dep.vid_oper"));
    }

    void deleteOnAnEmptyListAsksNothing()
    {
        clearProducts();
        Messages::Recorder recorder;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) { button(w, "Button3")->click(); }));
        QVERIFY(recorder.shown.isEmpty());
    }

    void refusedSaveLeavesTheEditorOpen()
    {
        clearProducts();
        addCatalogued(QStringLiteral("КР-100"), 1);
        db->exec(QStringLiteral("alter table cmn_gds_and_srv.gds_and_srv add constraint no_test check (s_caption <> 'ОТКАЗ')"));
        Messages::Recorder recorder;
        bool editorOpen = false;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            whileShown([&] { button(w, "Button1")->click(); }, [&](QDialog* e) {
                edit(e, "Edit1")->setText(QStringLiteral("ОТКАЗ"));
                edit(e, "Edit2")->setText(QStringLiteral("1"));
                button(e, "Button1")->click();
                editorOpen = e->isVisible();
            });
        }));
        db->exec(QStringLiteral("alter table cmn_gds_and_srv.gds_and_srv drop constraint no_test"));
        QVERIFY(editorOpen);
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY2(recorder.shown[0].text.contains(QStringLiteral("no_test")), qPrintable(recorder.shown[0].text));
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(storedMarkas(), QStringList{QStringLiteral("КР-100")});
    }

    void chooseHandsBackTheProduct_data()
    {
        QTest::addColumn<bool>("empty");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("expected");   // empty: nothing handed back
        QTest::newRow("double click") << false << "" << "double click" << "ПЛ-5";
        QTest::newRow("search then double click") << false << "прн" << "double click" << "ПРН-40";
        QTest::newRow("Enter chooses nothing") << false << "" << "enter" << "";
        QTest::newRow("Esc") << false << "" << "escape" << "";
        QTest::newRow("Выход") << false << "" << "exit" << "";
        QTest::newRow("empty list") << true << "" << "exit" << "";
    }
    void chooseHandsBackTheProduct()
    {
        QFETCH(bool, empty);
        QFETCH(QString, search);
        QFETCH(QString, how);
        QFETCH(QString, expected);
        clearProducts();
        if (!empty) {
            addCatalogued(QStringLiteral("ПЛ-5  "), 1);
            addCatalogued(QStringLiteral("ПРН-40"), 1);
        }
        list->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("left from before"));
        std::optional<ProductsList::Choice> choice;
        ListLook look;
        bool openAfterKey = false;
        QVERIFY(whileShown([&] { choice = list->choose(); }, [&](QDialog* w) {
            look = lookOf(w);
            typeText(edit(w, "Edit1"), search);
            endChoosing(w, how, 0);
            openAfterKey = w->isVisible();
        }));
        QCOMPARE(look.changeText, QStringLiteral("Выбрать"));
        QVERIFY(!look.changeShown);
        QVERIFY(look.changeDefault);
        QVERIFY(!look.addShown);
        QVERIFY(!look.deleteShown);
        QVERIFY(look.searchShown);
        QVERIFY(look.searchText.isEmpty());
        QVERIFY(look.searchFocused);
        QCOMPARE(openAfterKey, how == QLatin1String("enter"));
        QCOMPARE(list->mode(), 1);
        QVERIFY(!button(list, "Button2")->isDefault());
        QVERIFY(list->findChild<QLineEdit*>(QStringLiteral("Edit1"))->isHidden());
        QVERIFY(!dm()->Izdel->isOpen());
        QCOMPARE(choice.has_value(), !expected.isEmpty());
        if (choice) {
            QCOMPARE(choice->marka, expected);
            QCOMPARE(choice->id, db->scalar(QStringLiteral("select id from accounts_dep.izdel where trim(marka)='%1'").arg(expected)).toLongLong());
        }
    }

    void searchComparesPlainText_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty shows all") << QString()
            << QStringList{"50%-1", "5_0", "A\\B", "O'Brien", "КР-100", "кр-200", "КР АL-5", "ПЛ-5"};
        QTest::newRow("letter case ignored") << QStringLiteral("кр") << QStringList{"КР-100", "кр-200", "КР АL-5"};
        QTest::newRow("blank inside") << QStringLiteral("КР а") << QStringList{"КР АL-5"};
        QTest::newRow("apostrophe") << QStringLiteral("O'B") << QStringList{"O'Brien"};
        QTest::newRow("percent is no wildcard") << QStringLiteral("%") << QStringList{};
        QTest::newRow("percent as text") << QStringLiteral("50%") << QStringList{"50%-1"};
        QTest::newRow("underscore is no wildcard") << QStringLiteral("5_") << QStringList{"5_0"};
        QTest::newRow("backslash") << QStringLiteral("A\\") << QStringList{"A\\B"};
        QTest::newRow("nothing matches") << QStringLiteral("Я") << QStringList{};
    }
    void searchComparesPlainText()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, expected);
        clearProducts();
        for (const char* marka : {"КР-100", "кр-200", "КР АL-5", "ПЛ-5", "O'Brien", "50%-1", "5_0", "A\\B"})
            addCatalogued(QString::fromUtf8(marka), 1);
        Messages::Recorder recorder;
        QStringList shown;
        QVERIFY(whileShown([&] { list->choose(); }, [&](QDialog* w) {
            typeText(edit(w, "Edit1"), search);
            shown = columnTexts(grid(w));
        }));
        shown.sort();
        expected.sort();
        QCOMPARE(shown, expected);
        QVERIFY(recorder.shown.isEmpty());
    }

    void searchBoxKeys()
    {
        clearProducts();
        for (const char* marka : {"КР-100", "КР-200", "КР-300"})
            addCatalogued(QString::fromUtf8(marka), 1);
        QStringList moves;
        QString edited;
        QVERIFY(whileShown([&] { list->choose(); }, [&](QDialog* w) {
            QLineEdit* box = edit(w, "Edit1");
            pressKey(box, Qt::Key_Down);
            moves << selectedText(grid(w));
            pressKey(box, Qt::Key_Down);
            moves << selectedText(grid(w));
            pressKey(box, Qt::Key_Up);
            moves << selectedText(grid(w));
            typeText(box, QStringLiteral("Р-"));
            pressKey(box, Qt::Key_Home);
            typeText(box, QStringLiteral("К"));
            edited = box->text();
            moves << columnTexts(grid(w)).join(u',');
        }));
        QCOMPARE(moves, (QStringList{"КР-200", "КР-300", "КР-200", "КР-100,КР-200,КР-300"}));
        QCOMPARE(edited, QStringLiteral("КР-"));
    }

    void directoryAfterASearchShowsEveryProduct()
    {
        clearProducts();
        for (const char* marka : {"КР-100", "ПЛ-5"})
            addCatalogued(QString::fromUtf8(marka), 1);
        QVERIFY(whileShown([&] { list->choose(); }, [&](QDialog* w) { typeText(edit(w, "Edit1"), QStringLiteral("ПЛ")); }));
        QStringList listed;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) { listed = columnTexts(grid(w)); }));
        QCOMPARE(listed, (QStringList{"КР-100", "ПЛ-5"}));
    }
};

QTEST_MAIN(ProductsTest)
#include "tst_products.moc"
