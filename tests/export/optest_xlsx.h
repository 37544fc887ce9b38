#pragma once
// Reads back an .xlsx file as the tests need it: cell texts and types, the number format
// and boldness of a cell, column widths. The parts are taken out with unzip.
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QXmlStreamReader>

namespace optest {

inline QByteArray unzipPart(const QString& file, const QString& part)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file, part});
    unzip.waitForFinished(30000);
    return unzip.readAllStandardOutput();
}

// xlsx2csv's reading of sheet 1, one QStringList per row.
inline QList<QStringList> xlsx2csvRows(const QString& file)
{
    QProcess conv;
    conv.start(QStringLiteral("xlsx2csv"), {QStringLiteral("-d"), QStringLiteral("tab"), file});
    conv.waitForFinished(30000);
    QList<QStringList> rows;
    const QString out = QString::fromUtf8(conv.readAllStandardOutput());
    for (QString line : out.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            rows << line.split(u'\t');
    }
    return rows;
}

struct XlsxCell {
    QString text;
    QString type;     // "s" shared string, "str", "inlineStr", "n"…
    int style = 0;
};

struct XlsxStyle {
    int numFmtId = 0;   // 49 is the built-in "@"
    QString formatCode; // of a format the file defines itself
    bool bold = false;
};

struct XlsxSheet {
    bool ok = false;
    QMap<QString, XlsxCell> cells;   // "A1" → cell
    QMap<int, double> widths;        // column (from 1) → width
    QVector<XlsxStyle> styles;
    QString sheetName;

    QString text(const QString& ref) const { return cells.value(ref).text; }
    bool has(const QString& ref) const { return cells.contains(ref); }
    bool isBold(const QString& ref) const { return styleOf(ref).bold; }
    bool isTextFormat(const QString& ref) const
    {
        const XlsxStyle st = styleOf(ref);
        return st.numFmtId == 49 || st.formatCode == u"@";
    }
    XlsxStyle styleOf(const QString& ref) const
    {
        const int s = cells.value(ref).style;
        return s >= 0 && s < styles.size() ? styles[s] : XlsxStyle{};
    }
    bool isNumber(const QString& ref) const
    {
        return has(ref) && (cells.value(ref).type.isEmpty() || cells.value(ref).type == u"n");
    }
    // The cell as a spreadsheet program shows it under a Russian locale: a number with
    // the places of its format ("0", "0.00") and a decimal comma, a string as it is.
    QString shown(const QString& ref) const
    {
        if (!isNumber(ref))
            return text(ref);
        const XlsxStyle st = styleOf(ref);
        const double value = text(ref).toDouble();
        if (st.numFmtId == 0 && st.formatCode.isEmpty())
            return QString::number(value, 'g', 15).replace(u'.', u',');
        const int dot = st.formatCode.indexOf(u'.');
        const int places = dot < 0 ? 0 : int(st.formatCode.size()) - dot - 1;
        return QString::number(value, 'f', places).replace(u'.', u',');
    }
    // Every row that has cells, each as the texts shown from column A to its last cell.
    QList<QStringList> shownRows() const
    {
        QMap<int, QMap<int, QString>> grid;
        for (auto it = cells.cbegin(); it != cells.cend(); ++it) {
            int column = 0, i = 0;
            const QString& ref = it.key();
            for (; i < ref.size() && ref[i].isLetter(); ++i)
                column = column * 26 + (ref[i].unicode() - u'A' + 1);
            grid[ref.mid(i).toInt()][column] = shown(ref);
        }
        QList<QStringList> rows;
        for (const auto& row : grid) {
            QStringList line;
            for (int c = 1; c <= row.lastKey(); ++c)
                line << row.value(c);
            rows << line;
        }
        return rows;
    }
};

inline XlsxSheet readSheet1(const QString& file)
{
    XlsxSheet sheet;
    QStringList shared;
    {
        QXmlStreamReader xml(unzipPart(file, QStringLiteral("xl/sharedStrings.xml")));
        QString current;
        bool inSi = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"si") {
                inSi = true;
                current.clear();
            } else if (xml.isStartElement() && xml.name() == u"t" && inSi) {
                current += xml.readElementText();
            } else if (xml.isEndElement() && xml.name() == u"si") {
                shared << current;
                inSi = false;
            }
        }
    }
    {
        QXmlStreamReader xml(unzipPart(file, QStringLiteral("xl/styles.xml")));
        QVector<bool> fontBold;
        QMap<int, QString> codes;
        bool inFonts = false, inCellXfs = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == u"numFmt")
                    codes[xml.attributes().value(QLatin1String("numFmtId")).toInt()] =
                        xml.attributes().value(QLatin1String("formatCode")).toString();
                else if (xml.name() == u"fonts") inFonts = true;
                else if (xml.name() == u"cellXfs") inCellXfs = true;
                else if (inFonts && xml.name() == u"font") fontBold << false;
                else if (inFonts && xml.name() == u"b" && !fontBold.isEmpty()) fontBold.last() = true;
                else if (inCellXfs && xml.name() == u"xf") {
                    XlsxStyle st;
                    st.numFmtId = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                    const int font = xml.attributes().value(QLatin1String("fontId")).toInt();
                    st.formatCode = codes.value(st.numFmtId);
                    st.bold = font >= 0 && font < fontBold.size() && fontBold[font];
                    sheet.styles << st;
                }
            } else if (xml.isEndElement()) {
                if (xml.name() == u"fonts") inFonts = false;
                else if (xml.name() == u"cellXfs") inCellXfs = false;
            }
        }
    }
    {
        QXmlStreamReader xml(unzipPart(file, QStringLiteral("xl/workbook.xml")));
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"sheet" && sheet.sheetName.isEmpty())
                sheet.sheetName = xml.attributes().value(QLatin1String("name")).toString();
        }
    }
    const QByteArray data = unzipPart(file, QStringLiteral("xl/worksheets/sheet1.xml"));
    QXmlStreamReader xml(data);
    QString ref;
    XlsxCell cell;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"col") {
            const int min = xml.attributes().value(QLatin1String("min")).toInt();
            const int max = xml.attributes().value(QLatin1String("max")).toInt();
            for (int c = min; c <= max; ++c)
                sheet.widths[c] = xml.attributes().value(QLatin1String("width")).toDouble();
        } else if (xml.name() == u"c") {
            ref = xml.attributes().value(QLatin1String("r")).toString();
            cell = XlsxCell{};
            cell.type = xml.attributes().value(QLatin1String("t")).toString();
            cell.style = xml.attributes().value(QLatin1String("s")).toInt();
            sheet.cells[ref] = cell;
        } else if (xml.name() == u"v" || xml.name() == u"t") {
            const QString v = xml.readElementText();
            XlsxCell& c = sheet.cells[ref];
            c.text = c.type == u"s" ? shared.value(v.toInt()) : v;
        }
    }
    sheet.ok = !data.isEmpty() && !xml.hasError();
    return sheet;
}

}
