#pragma once
#include "reportengine/document.h"
#include "reportengine/layout.h"
#include "reportengine/rowsource.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QVector>
#include <memory>

// Small layouts and rows shared by the engine tests.
namespace EngineTest {

using namespace ReportEngine;

inline const QColor kTitleGrey(244, 244, 244);
inline const QColor kGroupGrey(224, 224, 224);
inline const QColor kTotalGrey(220, 220, 220);

// Rows of (fio, nom, naimen, color, kolvo, summa).
inline std::shared_ptr<RowTable> workRows(const QVector<QVector<QVariant>>& rows)
{
    auto table = std::make_shared<RowTable>(QStringList{"fio", "nom", "naimen", "color", "kolvo", "summa"});
    for (const auto& r : rows)
        table->append(r);
    return table;
}

inline Field bold(Field f)
{
    f.bold = true;
    return f;
}

inline Field named(const QString& name, Field f)
{
    f.name = name;
    return f;
}

// Title, a group on fio with a subtotal, detail, grand total, page footer.
inline Layout workerLayout(double detailHeight = 5)
{
    Layout l;
    Band title(BandKind::Title, "title", 8);
    title.background = kTitleGrey;
    title.fields << named("QRLabel1", bold(Field::label("Отчет по рабочим", 0.3)));
    Band child(BandKind::Child, "titleChild", 0.5);
    child.header = "title";
    Band fio(BandKind::GroupHeader, "fioHeader", 5);
    fio.groupExpression = "t_Report.fio";
    fio.background = kGroupGrey;
    fio.fields << bold(Field::data("fio", 0.3));
    Band detail(BandKind::Detail, "detail", detailHeight);
    detail.fields << Field::span(Field::Data, "nom", 13.2, 55.3)
                  << Field::span(Field::Data, "kolvo", 137.8, 157.1, Qt::AlignHCenter)
                  << Field::span(Field::Data, "summa", 163.0, 186.5, Qt::AlignHCenter, "#0.000");
    Band fioFooter(BandKind::GroupFooter, "fioFooter", 5);
    fioFooter.header = "fioHeader";
    fioFooter.frame.bottom = Rule::solid();
    fioFooter.fields << named("fioSum", bold(Field::span(Field::Expression, "sum(summa)", 163.0, 186.8, Qt::AlignRight, "#0.00")));
    Band total(BandKind::Summary, "total", 6);
    total.background = kTotalGrey;
    total.frame = Frame::box(Rule::solid());
    total.fields << bold(Field::label("Итого:", 137.8))
                 << named("grand", bold(Field::span(Field::Expression, "sum(summa)", 160.9, 188.9, Qt::AlignRight, "#0.00")));
    Band footer(BandKind::PageFooter, "pageFooter", 5);
    footer.fields << named("page", Field::span(Field::Expression, "PAGENUMBER", 176.2, 190, Qt::AlignRight));
    l.bands << title << child << fio << detail << fioFooter << total << footer;
    return l;
}

inline QStringList texts(const Document& doc, int page)
{
    QStringList list;
    for (const Item* item : doc.texts(page))
        list << item->text;
    return list;
}

inline QStringList allTexts(const Document& doc)
{
    QStringList list;
    for (int p = 0; p < doc.pageCount(); ++p)
        list << texts(doc, p);
    return list;
}

// A word that pdftotext read back from a PDF, in millimetres from the page's top-left.
struct PdfWord {
    int page;
    QString text;
    double xMin, yMin, xMax, yMax;
};

inline QVector<PdfWord> pdfWords(const QString& pdf)
{
    QProcess p;
    p.start("pdftotext", {"-bbox-layout", pdf, "-"});
    p.waitForFinished(60000);
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    QVector<PdfWord> words;
    static const QRegularExpression token(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    int page = -1;
    const double mm = 25.4 / 72;
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith("<page")) {
            ++page;
            continue;
        }
        QString text = m.captured(5);
        text.replace("&amp;", "&").replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&apos;", "'");
        words.push_back({page, text, m.captured(1).toDouble() * mm, m.captured(2).toDouble() * mm,
                         m.captured(3).toDouble() * mm, m.captured(4).toDouble() * mm});
    }
    return words;
}

}
