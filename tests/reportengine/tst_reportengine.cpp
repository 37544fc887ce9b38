#include "enginetest_helpers.h"

#include "db/dataset.h"
#include "reportengine/engine.h"
#include "reportengine/format.h"
#include "reportengine/pdfjoin.h"
#include "reportengine/renderer.h"
#include "reportengine/report.h"
#include "support/testdb.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace ReportEngine;
using namespace EngineTest;

// The band engine on small hand-made layouts: what it lays out where, and on which page.
class ReportEngineTest : public QObject {
    Q_OBJECT

    static const Item* only(const Document& doc, int page, const QString& text)
    {
        // Not found or not unique: an item that matches no expected position.
        static const Item missing = [] { Item i; i.x = i.y = -1; i.text = "<missing or twice>"; return i; }();
        const auto found = doc.find(page, text);
        return found.size() == 1 ? found.first() : &missing;
    }

    // The page and top of the text item, searching all pages; {-1, 0} when absent.
    static QPair<int, double> where(const Document& doc, const QString& text)
    {
        for (int p = 0; p < doc.pageCount(); ++p)
            if (const auto found = doc.find(p, text); !found.isEmpty())
                return {p, found.first()->y};
        return {-1, 0};
    }

    static QVector<QVector<QVariant>> worker(const QString& fio, int rows, double summa = 1)
    {
        QVector<QVector<QVariant>> list;
        for (int i = 0; i < rows; ++i)
            list.push_back({fio, QString("%1-%2").arg(fio).arg(i + 1), 0, 0, 7, summa});
        return list;
    }

private slots:
    void groupsBreakAndTotalsRestart()
    {
        const Document doc = layOut(workerLayout(), *workRows({
            {"Иванов", "К-1", 0, 0, 3, 10.5},
            {"Иванов", "К-2", 1, 0, 2, 4.25},
            {"Петров", "К-1", 0, 0, 7, 100},
            {"Сидоров", "К-3", 0, 1, 1, 0.125},
            {"Сидоров", "К-4", 0, 1, 1, 0.125},
        }));
        QCOMPARE(doc.pageCount(), 1);
        QCOMPARE(texts(doc, 0), QStringList({
            "Отчет по рабочим",
            "Иванов", "К-1", "3", "10,500", "К-2", "2", "4,250", "14,75",
            "Петров", "К-1", "7", "100,000", "100,00",
            "Сидоров", "К-3", "1", "0,125", "К-4", "1", "0,125", "0,25",
            "Итого:", "115,00",
            "1"}));
        // Each band right below the one before it: title 8 + child 0.5, then 5 mm bands.
        QCOMPARE(only(doc, 0, "Иванов")->y, 18.5f);
        QCOMPARE(only(doc, 0, "Петров")->y, 18.5f + 4 * 5);
        QCOMPARE(only(doc, 0, "Итого:")->y, 18.5f + 11 * 5);
        QCOMPARE(only(doc, 0, "Итого:")->x, 10 + 137.8f);
    }

    void nestedGroupsBreakInnerWithOuter()
    {
        Layout l;
        Band fio(BandKind::GroupHeader, "fio", 5);
        fio.groupExpression = "fio";
        fio.fields << Field::data("fio", 0);
        Band nom(BandKind::GroupHeader, "nom", 5);
        nom.groupExpression = "nom";
        nom.fields << Field::expression("'изделие '+nom", 5);
        Band detail(BandKind::Detail, "detail", 5);
        detail.fields << Field::data("kolvo", 20, 10);
        Band nomFooter(BandKind::GroupFooter, "nomFooter", 5);
        nomFooter.header = "nom";
        nomFooter.fields << Field::expression("'Σ'+STR(sum(kolvo))", 20, 30);
        Band fioFooter(BandKind::GroupFooter, "fioFooter", 5);
        fioFooter.header = "fio";
        fioFooter.fields << Field::expression("'ΣΣ'+STR(sum(kolvo))", 20, 30);
        Band total(BandKind::Summary, "total", 5);
        total.fields << Field::expression("'Всего '+STR(sum(kolvo))", 20, 40);
        l.bands << fio << nom << detail << nomFooter << fioFooter << total;
        const Document doc = layOut(l, *workRows({
            {"А", "x", 0, 0, 1, 0}, {"А", "x", 0, 0, 2, 0}, {"А", "y", 0, 0, 4, 0}, {"Б", "y", 0, 0, 8, 0}}));
        QCOMPARE(allTexts(doc), QStringList({
            "А", "изделие x", "1", "2", "Σ3", "изделие y", "4", "Σ4", "ΣΣ7",
            "Б", "изделие y", "8", "Σ8", "ΣΣ8",
            "Всего 15"}));
    }

    void emptyRowsGiveOnePageWithTitleTotalsAndFooter()
    {
        const Document doc = layOut(workerLayout(), *workRows({}));
        QCOMPARE(doc.pageCount(), 1);
        QCOMPARE(texts(doc, 0), QStringList({"Отчет по рабочим", "Итого:", "0,00", "1"}));
        QCOMPARE(only(doc, 0, "Итого:")->y, 18.5f);
        QCOMPARE(only(doc, 0, "1")->y, 297.f - 10 - 5);
    }

    void groupWithoutExpressionIsTheReportsHeaderAndTotal_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("rows") << 2 << QStringList({"Отчет", "Иванов-1", "Иванов-2", "Всего 14", "1"});
        QTest::newRow("no rows") << 0 << QStringList({"Отчет", "Всего 0", "1"});
    }

    void groupWithoutExpressionIsTheReportsHeaderAndTotal()
    {
        QFETCH(int, rows);
        QFETCH(QStringList, texts);
        Layout l;
        Band header(BandKind::GroupHeader, "header", 6);
        header.fields << Field::label("Отчет", 0);
        Band detail(BandKind::Detail, "detail", 5);
        detail.fields << Field::data("nom", 0);
        Band footer(BandKind::GroupFooter, "footer", 5);
        footer.header = "header";
        footer.fields << Field::expression("'Всего '+STR(sum(kolvo))", 0);
        Band page(BandKind::PageFooter, "page", 5);
        page.fields << Field::expression("PAGENUMBER", 180);
        l.bands << header << detail << footer << page;
        const Document doc = layOut(l, *workRows(worker("Иванов", rows)));
        QCOMPARE(allTexts(doc), texts);
    }

    void pageFooterOnEveryPageIncludingTheLast()
    {
        const Document doc = layOut(workerLayout(), *workRows(worker("Иванов", 100)));
        // Page 1: header at 18.5, 51 rows end at 278.5 (the page footer begins at 282);
        // page 2 from the top margin: 49 rows, the subtotal and the grand total.
        QCOMPARE(doc.pageCount(), 2);
        QCOMPARE(where(doc, "Иванов-51"), qMakePair(0, 18.5 + 5 + 50 * 5));
        QCOMPARE(where(doc, "Иванов-52"), qMakePair(1, 10.0));
        QCOMPARE(where(doc, "Итого:"), qMakePair(1, 10.0 + 49 * 5 + 5));
        for (int p = 0; p < doc.pageCount(); ++p) {
            const Item* number = only(doc, p, QString::number(p + 1));
            QCOMPARE(number->y, 297.f - 10 - 5);
            for (const Item& item : doc.pages[p].items)
                if (&item != number)
                    QVERIFY2(item.y + item.h <= 282.001f, qPrintable(item.text));
        }
        // Every row once, in order.
        QStringList noms;
        for (const QString& t : allTexts(doc))
            if (t.startsWith("Иванов-"))
                noms << t;
        QCOMPARE(noms.size(), 100);
        QCOMPARE(noms.first(), QString("Иванов-1"));
        QCOMPARE(noms.last(), QString("Иванов-100"));
    }

    void groupKeptWithItsFooter_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::addColumn<int>("firstRows");
        QTest::addColumn<int>("secondRows");
        QTest::addColumn<int>("page");
        QTest::addColumn<double>("top");
        // The first group ends at 28.5 + 5 n; the second needs 10 + 5 m.
        QTest::newRow("kept: moves to a fresh page") << true << 45 << 10 << 1 << 10.0;
        QTest::newRow("not kept: starts right after") << false << 45 << 10 << 0 << 253.5;
        QTest::newRow("kept but longer than a page: stays") << true << 45 << 70 << 0 << 253.5;
        QTest::newRow("kept and fits the rest: stays") << true << 20 << 10 << 0 << 128.5;
        QTest::newRow("header never alone at a page's end") << false << 49 << 3 << 1 << 10.0;
    }

    void groupKeptWithItsFooter()
    {
        QFETCH(bool, keep);
        QFETCH(int, firstRows);
        QFETCH(int, secondRows);
        QFETCH(int, page);
        QFETCH(double, top);
        Layout l = workerLayout();
        if (keep)
            l.band("fioHeader")->keepWith = "fioFooter";
        const Document doc = layOut(l, *workRows(worker("Аникин", firstRows) + worker("Борисов", secondRows)));
        QCOMPARE(where(doc, "Борисов"), qMakePair(page, top));
        // Its first row right below it, on the same page.
        QCOMPARE(where(doc, "Борисов-1"), qMakePair(page, top + 5));
    }

    void innerGroupKeptTakesTheOuterHeaderAlong()
    {
        Layout l = workerLayout();
        Band nom(BandKind::GroupHeader, "nomHeader", 5);
        nom.groupExpression = "naimen";
        nom.keepWith = "nomFooter";
        nom.fields << Field::expression("'вид '+STR(naimen)", 5);
        Band nomFooter(BandKind::GroupFooter, "nomFooter", 5);
        nomFooter.header = "nomHeader";
        nomFooter.fields << Field::expression("'вид итого '+STR(sum(kolvo))", 5);
        l.bands.insert(3, nom);
        l.bands.insert(5, nomFooter);
        auto second = worker("Борисов", 10);
        for (auto& r : second)
            r[2] = 1;
        // The first worker's two groups end at 18.5 + 5 + 5 + 40 × 5 + 5 + 5 = 238.5; the
        // second's kind group (header, 10 rows, footer) does not fit below its worker.
        const Document doc = layOut(l, *workRows(worker("Аникин", 40) + second));
        QCOMPARE(where(doc, "вид итого 280"), qMakePair(0, 228.5));
        QCOMPARE(where(doc, "Борисов"), qMakePair(1, 10.0));
        QCOMPARE(where(doc, "вид 1"), qMakePair(1, 15.0));
        QCOMPARE(where(doc, "Борисов-1"), qMakePair(1, 20.0));
        QCOMPARE(where(doc, "вид итого 70"), qMakePair(1, 70.0));
    }

    void repeatedTitleOnEveryPage()
    {
        Layout l;
        l.orientation = QPageLayout::Landscape;
        Band header(BandKind::Title, "header", 6);
        header.repeatOnEveryPage = true;
        header.frame.top = header.frame.bottom = Rule::solid();
        header.fields << named("QRLabel33", bold(Field::label("Данные за:", 0)))
                      << bold(Field::label("Итого", 264.6, 10.3, Qt::AlignHCenter));
        Band detail(BandKind::Detail, "detail", 5);
        detail.keepWith = "header";
        detail.fields << Field::data("nom", 0, 80.4) << bold(Field::expression("kolvo+summa", 264.6, 10.3, Qt::AlignHCenter));
        Band footer(BandKind::PageFooter, "footer", 5);
        footer.fields << Field::expression("PAGENUMBER", 252.7, 25.7, Qt::AlignRight);
        l.bands << header << detail << footer;
        l.field("QRLabel33")->text = "Данные за: март 2024";

        const Document doc = layOut(l, *workRows(worker("Иванов", 80, 2)));
        QCOMPARE(doc.pageSizeMm, QSizeF(297, 210));
        // 210 - 20 margins - 5 footer - 6 header = 179 mm: 35 rows a page.
        QCOMPARE(doc.pageCount(), 3);
        for (int p = 0; p < 3; ++p) {
            QCOMPARE(texts(doc, p).first(), QString("Данные за: март 2024"));
            QCOMPARE(only(doc, p, "Итого")->x, 10 + 264.6f);
            QCOMPARE(only(doc, p, "Итого")->y, 10.f);
            QCOMPARE(only(doc, p, QString::number(p + 1))->y, 210.f - 10 - 5);
        }
        QCOMPARE(where(doc, "Иванов-36"), qMakePair(1, 16.0));
        QCOMPARE(only(doc, 0, "Иванов-1")->x, 10.f);
        QCOMPARE(doc.find(0, "9").size(), 35);   // row totals 7 + 2
    }

    void childFollowsItsParentAcrossAPageEnd()
    {
        Layout l;
        Band detail(BandKind::Detail, "detail", 10);
        detail.fields << Field::data("nom", 0);
        Band note(BandKind::Child, "note", 5);
        note.header = "detail";
        note.fields << Field::expression("'к '+nom", 10);
        l.bands << detail << note;
        // 277 mm a page, 15 mm a row: 18 rows fill 270 mm; row 19's note would not fit.
        const Document doc = layOut(l, *workRows(worker("И", 19)));
        QCOMPARE(doc.pageCount(), 2);
        QCOMPARE(where(doc, "И-18"), qMakePair(0, 10.0 + 17 * 15));
        QCOMPARE(where(doc, "И-19"), qMakePair(1, 10.0));
        QCOMPARE(where(doc, "к И-19"), qMakePair(1, 20.0));
    }

    void backgroundsAndRules()
    {
        Layout l = workerLayout();
        Field odd = Field::data("kolvo", 81.2, 5.3, Qt::AlignHCenter);
        odd.frame.left = odd.frame.right = Rule::dotted(Qt::gray);
        l.band("detail")->fields << odd;
        const Document doc = layOut(l, *workRows(worker("Иванов", 1)));
        QVector<Item> fills, lines;
        for (const Item& item : doc.pages[0].items)
            (item.kind == Item::Kind::Fill ? fills : item.kind == Item::Kind::Line ? lines : fills).push_back(item);
        auto hasFill = [&](QRectF r, QColor c) {
            for (const Item& f : fills)
                if (f.kind == Item::Kind::Fill && qAbs(f.x - r.x()) < 1e-3 && qAbs(f.y - r.y()) < 1e-3
                    && qAbs(f.w - r.width()) < 1e-3 && qAbs(f.h - r.height()) < 1e-3 && f.color == c.rgba())
                    return true;
            return false;
        };
        QVERIFY(hasFill(QRectF(10, 10, 190, 8), kTitleGrey));
        QVERIFY(hasFill(QRectF(10, 18.5, 190, 5), kGroupGrey));
        QVERIFY(hasFill(QRectF(10, 18.5 + 15, 190, 6), kTotalGrey));
        auto count = [&](LineStyle style, QLineF line) {
            int n = 0;
            for (const Item& i : lines)
                n += i.style == style && qAbs(i.x - line.x1()) < 1e-3 && qAbs(i.y - line.y1()) < 1e-3
                     && qAbs(i.x + i.w - line.x2()) < 1e-3 && qAbs(i.y + i.h - line.y2()) < 1e-3;
            return n;
        };
        QCOMPARE(count(LineStyle::Dotted, QLineF(91.2, 23.5, 91.2, 28.5)), 1);
        QCOMPARE(count(LineStyle::Dotted, QLineF(96.5, 23.5, 96.5, 28.5)), 1);
        QCOMPARE(count(LineStyle::Solid, QLineF(10, 33.5, 200, 33.5)), 2);   // subtotal's rule below, total's frame above
        const double t = 33.5, b = 39.5;                                      // grand total framed
        QCOMPARE(count(LineStyle::Solid, QLineF(10, t, 200, t)) + count(LineStyle::Solid, QLineF(10, b, 200, b))
                     + count(LineStyle::Solid, QLineF(10, t, 10, b)) + count(LineStyle::Solid, QLineF(200, t, 200, b)), 5);
    }

    void numberMasks_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("text");
        QTest::newRow("two decimals") << 1234.5 << "#0.00" << "1234,50";
        QTest::newRow("half up though stored below") << 2.675 << "#0.00" << "2,68";
        QTest::newRow("three decimals") << 1.23456 << "#0.000" << "1,235";
        QTest::newRow("whole, half up") << 2.5 << "#0" << "3";
        QTest::newRow("negative") << -10.005 << "#0.00" << "-10,01";
        QTest::newRow("no minus zero") << -0.004 << "#0.00" << "0,00";
        QTest::newRow("zero") << 0.0 << "#0.000" << "0,000";
        QTest::newRow("grouped") << 1234567.5 << "#,##0.00" << QString("1\u00a0234\u00a0567,50");
        QTest::newRow("no mask: whole") << 5.0 << "" << "5";
        QTest::newRow("no mask: large whole") << 123456789.0 << "" << "123456789";
        QTest::newRow("no mask: fraction") << 3.25 << "" << "3,25";
        QTest::newRow("no mask: binary noise") << 0.1 + 0.2 << "" << "0,3";
        QTest::newRow("no mask: negative") << -3.5 << "" << "-3,5";
        QTest::newRow("no mask: small") << 0.001 << "" << "0,001";
    }

    void numberMasks()
    {
        QFETCH(double, value);
        QFETCH(QString, mask);
        QFETCH(QString, text);
        bool ok = false;
        const NumberMask m = NumberMask::parse(mask, &ok);
        QVERIFY(ok);
        QCOMPARE(formatNumber(value, m), text);
    }

    void expressions_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QVariantList>("row");   // fio, nom, naimen, color, kolvo, summa
        QTest::addColumn<QString>("text");
        const QString kind = "IF(naimen=0,'Готовая продукция','Заготовки')";
        const QString colour = "if(color>0,if(color=1,' (грунт)',' (RAL: '+STR(color)+')'),' ')";
        const QVariantList row{"Иванов И.И.", "К-100", 0, 0, 12, 2.5};
        auto with = [&](int index, QVariant v) { QVariantList r = row; r[index] = v; return r; };
        QTest::newRow("IF true") << kind << "" << row << "Готовая продукция";
        QTest::newRow("IF false") << kind << "" << with(2, 1) << "Заготовки";
        QTest::newRow("if in lower case, colour none") << colour << "" << row << " ";
        QTest::newRow("colour primer") << colour << "" << with(3, 1) << " (грунт)";
        QTest::newRow("colour RAL") << colour << "" << with(3, 1013) << " (RAL: 1013)";
        QTest::newRow("colour null") << colour << "" << with(3, QVariant()) << " ";
        QTest::newRow("STR joined") << "STR(kolvo)+' шт.'" << "" << row << "12 шт.";
        QTest::newRow("STR of a fraction") << "STR(summa)" << "" << row << "2,5";
        QTest::newRow("numbers add") << "kolvo+summa" << "" << row << "14,5";
        QTest::newRow("texts join") << "fio+' / '+nom" << "" << row << "Иванов И.И. / К-100";
        QTest::newRow("qualified field") << "t_Report.fio" << "" << row << "Иванов И.И.";
        QTest::newRow("field case") << "FIO" << "" << row << "Иванов И.И.";
        QTest::newRow("greater") << "IF(kolvo>11,'да','нет')" << "" << row << "да";
        QTest::newRow("not greater") << "IF(kolvo>12,'да','нет')" << "" << row << "нет";
        QTest::newRow("text equal") << "IF(nom='К-100','да','нет')" << "" << row << "да";
        QTest::newRow("text order") << "IF('Б'>'А','да','нет')" << "" << row << "да";
        QTest::newRow("precedence") << "kolvo+summa*2-1" << "" << row << "16";
        QTest::newRow("parentheses") << "(kolvo+summa)*2" << "" << row << "29";
        QTest::newRow("quote in text") << "'It''s '+nom" << "" << row << "It's К-100";
        QTest::newRow("mask on expression") << "summa*1.07" << "#0.00" << row << "2,68";
        QTest::newRow("empty field joins as nothing") << "fio+'!'" << "" << with(0, QVariant()) << "!";
        QTest::newRow("page number") << "'Стр. '+STR(PAGENUMBER)" << "" << row << "Стр. 1";
        QTest::newRow("decimal as text takes the mask") << "summa" << "#0.00" << with(5, "1234.5") << "1234,50";
        QTest::newRow("other text keeps it") << "nom" << "#0.00" << row << "К-100";
        QTest::newRow("sum in a detail is its own row") << "sum(kolvo)" << "#0" << row << "12";
    }

    void expressions()
    {
        QFETCH(QString, expression);
        QFETCH(QString, mask);
        QFETCH(QVariantList, row);
        QFETCH(QString, text);
        Layout l;
        Band detail(BandKind::Detail, "detail", 5);
        detail.fields << Field::expression(expression, 0, 100, Qt::AlignLeft, mask);
        l.bands << detail;
        const Document doc = layOut(l, *workRows({row.toVector()}));
        QCOMPARE(texts(doc, 0), QStringList{text});
    }

    void badExpressionsFailWhenCompiled_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("why");
        QTest::newRow("unclosed call") << "sum(kolvo" << "ожидалось «)»";
        QTest::newRow("IF with two arguments") << "IF(naimen=0,'a')" << "IF";
        QTest::newRow("dangling operator") << "kolvo+" << "оборвано";
        QTest::newRow("unknown field") << "kolvo+nosuchfield" << "nosuchfield";
        QTest::newRow("unknown function") << "frobnicate(kolvo)" << "frobnicate";
        QTest::newRow("unclosed quote") << "'Итого" << "кавычка";
        QTest::newRow("two operands") << "kolvo kolvo" << "лишний";
        QTest::newRow("strange sign") << "kolvo # 2" << "#";
        QTest::newRow("empty") << "" << "пустое";
    }

    void badExpressionsFailWhenCompiled()
    {
        QFETCH(QString, expression);
        QFETCH(QString, why);
        Layout l = workerLayout();
        l.band("fioFooter")->fields << Field::expression(expression, 0, 20);
        const auto rows = workRows(worker("Иванов", 3));
        try {
            Job job(l, rows);
            QFAIL("the layout was accepted");
        } catch (const LayoutError& e) {
            QVERIFY2(e.message().contains("«" + expression + "»"), qPrintable(e.message()));
            QVERIFY2(e.message().contains(why), qPrintable(e.message()));
            QCOMPARE(QString::fromUtf8(e.what()), e.message());
        }
    }

    void badLayoutsFailWhenCompiled_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("why");
        QTest::newRow("group expression") << 0 << "«fio+»";
        QTest::newRow("mask") << 1 << "«#0,0x»";
        QTest::newRow("footer without header") << 2 << "«nosuch»";
        QTest::newRow("child without parent") << 3 << "«nosuch»";
        QTest::newRow("data field unknown") << 4 << "«t_Report.nosuch»";
    }

    void badLayoutsFailWhenCompiled()
    {
        QFETCH(int, fault);
        QFETCH(QString, why);
        Layout l = workerLayout();
        switch (fault) {
        case 0: l.band("fioHeader")->groupExpression = "fio+"; break;
        case 1: l.field("grand")->mask = "#0,0x"; break;
        case 2: l.band("fioFooter")->header = "nosuch"; break;
        case 3: l.band("titleChild")->header = "nosuch"; break;
        case 4: l.band("detail")->fields << Field::data("t_Report.nosuch", 0); break;
        }
        try {
            check(l, {"fio", "nom", "kolvo", "summa"});
            QFAIL("the layout was accepted");
        } catch (const LayoutError& e) {
            QVERIFY2(e.message().contains(why), qPrintable(e.message()));
        }
    }

    void pagesComeOneAtATime()
    {
        const auto rows = workRows(worker("Иванов", 400) + worker("Петров", 300));
        Job job(workerLayout(), rows);
        QCOMPARE(job.readyPages(), 0);
        job.layOutPages(1);
        QCOMPARE(job.readyPages(), 1);
        QVERIFY(!job.finished());
        QVERIFY(job.document().pageCount() <= 2);
        job.layOutPages(2);
        QCOMPARE(job.readyPages(), 3);
        job.finish();
        QVERIFY(job.finished());
        const Document whole = layOut(workerLayout(), *rows);
        QCOMPARE(job.readyPages(), whole.pageCount());
        QCOMPARE(allTexts(job.document()), allTexts(whole));
        QCOMPARE(texts(whole, whole.pageCount() - 1).last(), QString::number(whole.pageCount()));
    }

    void pdfReadBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("report.pdf");
        Layout l = workerLayout();
        l.field("QRLabel1")->text = "   Отчет по рабочим за период с 01.03.2021 по 01.04.2021";
        const Document doc = layOut(l, *workRows(worker("Иванов", 60, 12.345) + worker("Петров", 2, 1000)));
        QCOMPARE(doc.pageCount(), 2);
        QVERIFY(writePdf(doc, path));
        const QVector<PdfWord> words = pdfWords(path);
        QVERIFY(!words.isEmpty());
        auto word = [&](int page, const QString& text) -> PdfWord {
            for (const PdfWord& w : words)
                if (w.page == page && w.text == text)
                    return w;
            return {-1, {}, 0, 0, 0, 0};
        };
        int pages = 0;
        for (const PdfWord& w : words)
            pages = std::max(pages, w.page + 1);
        QCOMPARE(pages, 2);
        const double tolerance = 0.5;
        // Left-aligned texts begin at the field's left edge (plus the 10 mm margin).
        const PdfWord title = word(0, "Отчет");
        QCOMPARE(title.page, 0);
        QVERIFY2(qAbs(title.xMin - (10 + 0.3 + textWidth("   "))) < 1.5, qPrintable(QString::number(title.xMin)));
        const PdfWord total = word(1, "Итого:");
        QCOMPARE(total.page, 1);
        QVERIFY2(qAbs(total.xMin - (10 + 137.8)) < tolerance, qPrintable(QString::number(total.xMin)));
        // Right-aligned totals end at the field's right edge: 60 × 12,345 + 2 × 1000.
        const PdfWord grand = word(1, "2740,70");
        QCOMPARE(grand.page, 1);
        QVERIFY2(qAbs(grand.xMax - (10 + 188.9)) < tolerance, qPrintable(QString::number(grand.xMax)));
        // Vertically centred in the band.
        const Item* totalItem = only(doc, 1, "Итого:");
        QVERIFY2(qAbs((total.yMin + total.yMax) / 2 - (totalItem->y + totalItem->h / 2)) < tolerance,
                 qPrintable(QString("%1 %2").arg(total.yMin).arg(total.yMax)));
        // Centred numbers stand in the middle of their column.
        const PdfWord first = word(0, "12,345");
        QVERIFY2(qAbs((first.xMin + first.xMax) / 2 - (10 + (163.0 + 186.5) / 2)) < tolerance,
                 qPrintable(QString::number(first.xMin)));
        // Page numbers at the bottom right of both pages.
        for (int p = 0; p < 2; ++p) {
            const PdfWord number = word(p, QString::number(p + 1));
            QCOMPARE(number.page, p);
            QVERIFY2(qAbs(number.xMax - 200) < tolerance, qPrintable(QString::number(number.xMax)));
            QVERIFY(number.yMin > 282 - tolerance && number.yMax < 287 + tolerance);
        }
    }

    void stoppedPdfLeavesNoFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("stopped.pdf");
        const Document doc = layOut(workerLayout(), *workRows(worker("Иванов", 200)));
        QVector<int> told;
        QVERIFY(!writePdf(doc, path, [&](int page, int count) {
            told << page << count;
            return page < 2;
        }));
        QCOMPARE(told, QVector<int>({0, doc.pageCount(), 1, doc.pageCount(), 2, doc.pageCount()}));
        QVERIFY(!QFile::exists(path));
    }

    // A long document is written in runs of pages side by side and joined into one file:
    // every page in its place with its own words, and a file that readers take without
    // complaint. Stopping it mid-way leaves no file.
    void longPdfKeepsEveryPageInOrder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("long.pdf");
        const Document doc = layOut(workerLayout(), *workRows(worker("Иванов", 4000, 12.5) + worker("Петров", 3000, 3)));
        QVERIFY2(doc.pageCount() >= 100, qPrintable(QString::number(doc.pageCount())));
        QVERIFY(writePdf(doc, path));

        QProcess info;
        info.start("pdfinfo", {path});
        info.waitForFinished(60000);
        QVERIFY2(QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression(QString(R"(Pages:\s+%1\n)").arg(doc.pageCount()))),
                 "pdfinfo counts another number of pages");
        QCOMPARE(QString::fromUtf8(info.readAllStandardError()), QString());

        QVector<QStringList> read(doc.pageCount());
        for (const PdfWord& w : pdfWords(path)) {
            QVERIFY(w.page >= 0 && w.page < doc.pageCount());
            read[w.page] << w.text;
        }
        for (int p = 0; p < doc.pageCount(); ++p) {
            QStringList laid = texts(doc, p).join(' ').split(' ', Qt::SkipEmptyParts);
            laid.sort();
            read[p].sort();
            QVERIFY2(read[p] == laid, qPrintable(QString("page %1").arg(p + 1)));
        }

        const QString stopped = dir.filePath("stopped.pdf");
        int told = 0;
        QVERIFY(!writePdf(doc, stopped, [&](int page, int count) {
            ++told;
            return count == doc.pageCount() && page < 10;
        }));
        QVERIFY(told > 0);
        QVERIFY(!QFile::exists(stopped));
    }

    // Joining refuses what it cannot read instead of writing a broken file, and two
    // one-page files make one of two pages in their order.
    void joiningPdfs()
    {
        QTemporaryDir dir;
        auto onePage = [&](const QString& name) {
            const QString path = dir.filePath(name + ".pdf");
            Layout l;
            Band detail(BandKind::Detail, "detail", 5);
            detail.fields << Field::data("fio", 0.3, 60);
            l.bands << detail;
            [&] { QVERIFY(writePdf(layOut(l, *workRows(worker(name, 1))), path)); }();
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        };
        const QByteArray first = onePage("Первая"), second = onePage("Вторая");
        QVERIFY(first.startsWith("%PDF"));
        QVERIFY(PdfJoin::join({QByteArray("not a PDF at all")}).isEmpty());
        QVERIFY(PdfJoin::join({first, QByteArray("%PDF-1.4\nstartxref\n12\n%%EOF\n")}).isEmpty());
        QCOMPARE(PdfJoin::join({first}), first);

        const QString joined = dir.filePath("joined.pdf");
        QFile out(joined);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(PdfJoin::join({first, second}));
        out.close();
        QStringList order;
        for (const PdfWord& w : pdfWords(joined))
            order << QString("%1:%2").arg(w.page).arg(w.text);
        QCOMPARE(order, QStringList({"0:Первая", "1:Вторая"}));
    }

    // A long document of one numbered line per page, written whole (in runs on each core
    // and joined, where the machine has several) and joined from four parts written apart:
    // qpdf finds nothing wrong with the file, and page n shows line n.
    void longJoinedPdfIsSoundAndInOrder()
    {
        constexpr int kPages = 3000, kParts = 4;
        QTemporaryDir dir;
        Layout l;
        Band detail(BandKind::Detail, "detail", 200);   // one line a page
        detail.fields << Field::data("nom", 0.3, 60);
        l.bands << detail;
        auto lines = [](int from, int to) {
            QVector<QVector<QVariant>> rows;
            for (int n = from; n < to; ++n)
                rows.push_back({"Ж", QString("строка-%1").arg(n + 1), 0, 0, 1, 1});
            return workRows(rows);
        };
        const Document whole = layOut(l, *lines(0, kPages));
        QCOMPARE(whole.pageCount(), kPages);
        const QString written = dir.filePath("whole.pdf");
        QVERIFY(writePdf(whole, written));

        QVector<QByteArray> parts;
        for (int part = 0; part < kParts; ++part) {
            const QString path = dir.filePath(QString("part%1.pdf").arg(part));
            QVERIFY(writePdf(layOut(l, *lines(kPages * part / kParts, kPages * (part + 1) / kParts)), path));
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            parts << f.readAll();
        }
        const QString joined = dir.filePath("joined.pdf");
        QFile out(joined);
        QVERIFY(out.open(QIODevice::WriteOnly));
        const QByteArray joinedData = PdfJoin::join(parts);
        QVERIFY(!joinedData.isEmpty());
        out.write(joinedData);
        out.close();

        for (const QString& file : {written, joined}) {
            QProcess check;
            check.start("qpdf", {"--check", file});
            QVERIFY(check.waitForFinished(120000));
            const QString said = QString::fromUtf8(check.readAllStandardOutput() + check.readAllStandardError());
            QVERIFY2(check.exitCode() == 0 && said.contains("No syntax or stream encoding errors"), qPrintable(file + ": " + said.left(2000)));

            QProcess text;
            text.start("pdftotext", {"-enc", "UTF-8", file, "-"});
            QVERIFY(text.waitForFinished(120000));
            QStringList pages = QString::fromUtf8(text.readAllStandardOutput()).split(QChar('\f'));
            if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
                pages.removeLast();
            QCOMPARE(pages.size(), kPages);
            for (int n = 0; n < kPages; ++n)
                QVERIFY2(pages[n].trimmed() == QString("строка-%1").arg(n + 1),
                         qPrintable(QString("%1, page %2: %3").arg(file).arg(n + 1).arg(pages[n].trimmed())));
        }
    }

    void landscapePdfIsLandscape()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("landscape.pdf");
        Layout l;
        l.orientation = QPageLayout::Landscape;
        Band detail(BandKind::Detail, "detail", 5);
        detail.fields << Field::data("nom", 264.6, 10.3, Qt::AlignRight);
        l.bands << detail;
        QVERIFY(writePdf(layOut(l, *workRows(worker("Ж", 1))), path));
        QProcess info;
        info.start("pdfinfo", {path});
        info.waitForFinished();
        const QString out = QString::fromUtf8(info.readAllStandardOutput());
        QVERIFY2(out.contains(QRegularExpression(R"(Page size:\s+84[12][.\d]* x 595[.\d]* pts)")), qPrintable(out));
        const auto words = pdfWords(path);
        QCOMPARE(words.size(), 1);
        QVERIFY(qAbs(words[0].xMax - (10 + 264.6 + 10.3)) < 0.5);
    }

    void datasetRowsAreASnapshotOfTheVisibleRows()
    {
        TestDatabase db("engine");
        Dataset ds("t_Report", db.dm()->connectionName());
        ds.setSql("select * from (values ('Петров', 'К-2', 0, 2.5::numeric), ('Иванов', 'К-1', 1, 1.25::numeric), "
                  "('Иванов', 'К-3', 0, 4::numeric)) v(fio, nom, naimen, summa) order by fio, nom");
        ds.open();
        ds.setFilter([](const QSqlRecord& r) { return r.value("naimen").toInt() == 0; });
        Report report;
        QCOMPARE(report.objectName(), QString("Report1"));
        Layout l;
        Band fio(BandKind::GroupHeader, "fio", 5);
        fio.groupExpression = "t_Report.fio";
        fio.fields << Field::data("t_Report.fio", 0);
        Band detail(BandKind::Detail, "detail", 5);
        detail.fields << Field::data("nom", 5) << Field::data("summa", 50, 20, Qt::AlignRight, "#0.00");
        Band total(BandKind::Summary, "total", 5);
        total.fields << Field::expression("sum(summa)", 50, 20, Qt::AlignRight, "#0.00");
        l.bands << fio << detail << total;
        report.setLayout(l);
        report.prepare(ds);
        ds.close();
        QCOMPARE(allTexts(report.document()), QStringList({"Иванов", "К-3", "4,00", "Петров", "К-2", "2,50", "6,50"}));
    }

private:
    static double textWidth(const QString& text)
    {
        return QFontMetricsF(Layout::defaultFont()).horizontalAdvance(text) * 25.4 / 96;
    }
};

QTEST_MAIN(ReportEngineTest)
#include "tst_reportengine.moc"
