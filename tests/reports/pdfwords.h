#pragma once
// Reads a real PDF back with pdftotext -bbox-layout: the words of each page with their
// boxes, in millimetres from the paper's top-left corner, and phrases of words that
// stand next to each other on one line.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVector>
#include <QXmlStreamReader>

namespace pdfwords {

constexpr double kMmPerPt = 25.4 / 72.0;
constexpr double kMargin = 10;   // left margin of every layout

struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    QString text;
    double centre() const { return (x0 + x1) / 2; }
    double middle() const { return (y0 + y1) / 2; }
};

struct Pdf {
    QVector<QVector<Box>> pages;   // words per page
    QVector<double> pageWidths, pageHeights;

    int pageCount() const { return int(pages.size()); }

    // Every run of words on one line of the page whose texts, joined by blanks, equal text.
    QVector<Box> find(int page, const QString& text) const
    {
        QVector<Box> found;
        const QStringList parts = text.split(u' ', Qt::SkipEmptyParts);
        if (parts.isEmpty() || page < 0 || page >= pageCount())
            return found;
        const QVector<Box>& words = pages[page];
        for (int i = 0; i < words.size(); ++i) {
            if (words[i].text != parts[0])
                continue;
            Box box = words[i];
            int k = 1, j = i + 1;
            for (; k < parts.size() && j < words.size(); ++k, ++j) {
                const Box& w = words[j];
                if (w.text != parts[k] || std::abs(w.middle() - box.middle()) > 1 || w.x0 < box.x1 - 0.1 || w.x0 - box.x1 > 4)
                    break;
                box.x1 = w.x1;
                box.text += u' ' + w.text;
            }
            if (k == parts.size())
                found << box;
        }
        return found;
    }
    // The words of the page whose vertical middle lies within 1 mm of y.
    QVector<Box> line(int page, double y) const
    {
        QVector<Box> words;
        for (const Box& w : pages.value(page))
            if (std::abs(w.middle() - y) < 1)
                words << w;
        return words;
    }
    // Every word of every page, in order.
    QStringList allWords() const
    {
        QStringList words;
        for (const QVector<Box>& page : pages)
            for (const Box& w : page)
                words << w.text;
        return words;
    }
};

inline Pdf read(const QString& pdfPath)
{
    Pdf pdf;
    QTemporaryDir dir;
    const QString html = dir.filePath(QStringLiteral("words.html"));
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox-layout"), pdfPath, html});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
        return pdf;
    QFile file(html);
    if (!file.open(QIODevice::ReadOnly))
        return pdf;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"page") {
            pdf.pages.append(QVector<Box>());
            pdf.pageWidths << xml.attributes().value(QLatin1String("width")).toDouble() * kMmPerPt;
            pdf.pageHeights << xml.attributes().value(QLatin1String("height")).toDouble() * kMmPerPt;
        } else if (xml.name() == u"word" && !pdf.pages.isEmpty()) {
            Box w;
            w.x0 = xml.attributes().value(QLatin1String("xMin")).toDouble() * kMmPerPt;
            w.y0 = xml.attributes().value(QLatin1String("yMin")).toDouble() * kMmPerPt;
            w.x1 = xml.attributes().value(QLatin1String("xMax")).toDouble() * kMmPerPt;
            w.y1 = xml.attributes().value(QLatin1String("yMax")).toDouble() * kMmPerPt;
            w.text = xml.readElementText();
            pdf.pages.last() << w;
        }
    }
    return pdf;
}

// Where a field puts its text, in millimetres from the left margin.
struct Column {
    double from = 0, to = 0;
    Qt::Alignment align = Qt::AlignLeft;
};

// Does the box stand in the column as its alignment puts it, within tolerance mm?
inline bool standsIn(const Box& box, const Column& c, double tolerance = 0.5)
{
    const double x0 = box.x0 - kMargin, x1 = box.x1 - kMargin;
    if (c.align & Qt::AlignHCenter)
        return std::abs((x0 + x1) / 2 - (c.from + c.to) / 2) <= tolerance && x0 >= c.from - tolerance && x1 <= c.to + tolerance;
    if (c.align & Qt::AlignRight)
        return std::abs(x1 - c.to) <= tolerance;
    return std::abs(x0 - c.from) <= tolerance;
}

}
