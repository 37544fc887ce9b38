#include "reportengine/pdfjoin.h"

#include <QMap>
#include <QRegularExpression>
#include <algorithm>
#include <functional>

namespace ReportEngine::PdfJoin {
namespace {

// One file as its cross-reference table describes it.
struct Part {
    QByteArray data;
    QVector<qint64> offsets;   // by object number; -1 for a free number
    QVector<qint64> ends;      // where each object ends
    qint64 xref = -1;
    QByteArray trailer;        // the trailer's dictionary
    int root = 0, info = 0, pages = 0;

    // Object n from "n 0 obj" to the start of the next object (or of the table).
    QByteArray object(int n) const
    {
        const qint64 start = offsets.value(n, -1);
        if (start < 0)
            return {};
        return data.mid(start, ends[n] - start);
    }
};

void skipSpace(const QByteArray& d, qint64& pos)
{
    while (pos < d.size() && (d[pos] == ' ' || d[pos] == '\n' || d[pos] == '\r' || d[pos] == '\t'))
        ++pos;
}

bool readNumber(const QByteArray& d, qint64& pos, qint64* value)
{
    skipSpace(d, pos);
    const qint64 start = pos;
    while (pos < d.size() && d[pos] >= '0' && d[pos] <= '9')
        ++pos;
    if (pos == start)
        return false;
    *value = d.mid(start, pos - start).toLongLong();
    return true;
}

// The object number of "key n 0 R" in a dictionary's text; 0 when there is none.
int refAfter(const QByteArray& text, const char* key)
{
    const QRegularExpression re(QStringLiteral("%1\\s+(\\d+)\\s+0\\s+R").arg(QRegularExpression::escape(QLatin1String(key))));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(text));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// The part of an object before its stream, if it has one: the only place that holds
// references.
qsizetype headLength(const QByteArray& object)
{
    const qsizetype stream = object.indexOf("stream");
    return stream < 0 ? object.size() : stream;
}

// Every "n g R" in text with n mapped.
QByteArray renumbered(const QByteArray& text, const std::function<int(int)>& map)
{
    static const QRegularExpression ref(QStringLiteral("(\\d+)(\\s+)(\\d+)(\\s+)R\\b"));
    const QString s = QString::fromLatin1(text);
    QString out;
    qsizetype last = 0;
    for (auto it = ref.globalMatch(s); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(s).mid(last, m.capturedStart() - last);
        out += QString::number(map(m.captured(1).toInt())) + m.captured(2) + m.captured(3) + m.captured(4) + u'R';
        last = m.capturedEnd();
    }
    out += QStringView(s).mid(last);
    return out.toLatin1();
}

bool parse(const QByteArray& data, Part& p)
{
    p.data = data;
    const qsizetype startxref = data.lastIndexOf("startxref");
    qint64 pos = startxref + 9;
    if (startxref < 0 || !readNumber(data, pos, &p.xref) || p.xref <= 0 || data.mid(p.xref, 4) != "xref")
        return false;
    pos = p.xref + 4;
    for (;;) {
        skipSpace(data, pos);
        if (data.mid(pos, 7) == "trailer")
            break;
        qint64 first = 0, count = 0;
        if (!readNumber(data, pos, &first) || !readNumber(data, pos, &count))
            return false;
        if (p.offsets.size() < first + count)
            p.offsets.resize(first + count, -1);
        for (qint64 i = 0; i < count; ++i) {
            qint64 offset = 0, generation = 0;
            if (!readNumber(data, pos, &offset) || !readNumber(data, pos, &generation))
                return false;
            skipSpace(data, pos);
            if (pos >= data.size())
                return false;
            p.offsets[first + i] = data[pos] == 'n' ? offset : -1;
            ++pos;
        }
    }
    QVector<qint64> sorted;
    for (qint64 o : p.offsets)
        if (o >= 0)
            sorted.push_back(o);
    sorted.push_back(p.xref);
    std::sort(sorted.begin(), sorted.end());
    p.ends.resize(p.offsets.size());
    for (int n = 0; n < p.offsets.size(); ++n)
        if (p.offsets[n] >= 0)
            p.ends[n] = *std::upper_bound(sorted.begin(), sorted.end(), p.offsets[n]);
    p.trailer = data.mid(pos + 7, startxref - pos - 7).trimmed();
    p.root = refAfter(p.trailer, "/Root");
    p.info = refAfter(p.trailer, "/Info");
    p.pages = p.root > 0 ? refAfter(p.object(p.root), "/Pages") : 0;
    return p.pages > 0;
}

// The page tree's kids, in order.
QVector<int> kidsOf(const Part& p)
{
    const QByteArray pages = p.object(p.pages);
    const qsizetype open = pages.indexOf("/Kids");
    const qsizetype from = pages.indexOf('[', open), to = pages.indexOf(']', from);
    QVector<int> kids;
    if (open < 0 || from < 0 || to < 0)
        return kids;
    static const QRegularExpression ref(QStringLiteral("(\\d+)\\s+0\\s+R"));
    for (auto it = ref.globalMatch(QString::fromLatin1(pages.mid(from, to - from))); it.hasNext();)
        kids.push_back(it.next().captured(1).toInt());
    return kids;
}

}

QByteArray join(const QVector<QByteArray>& files)
{
    QVector<Part> parts(files.size());
    for (int i = 0; i < files.size(); ++i)
        if (!parse(files[i], parts[i]))
            return {};
    if (parts.isEmpty())
        return {};
    if (parts.size() == 1)
        return files.first();

    const Part& first = parts.first();
    // Numbers: the first file's as they are, each later file's after the ones before;
    // a later file's page tree becomes the first one's.
    QVector<std::function<int(int)>> maps;
    QVector<int> allKids;
    int next = int(first.offsets.size());
    for (const Part& p : parts) {
        const int shift = &p == &first ? 0 : next - 1;
        const int pages = p.pages;
        maps.push_back([shift, pages, &first](int n) { return n == pages ? first.pages : n + shift; });
        for (int kid : kidsOf(p))
            allKids.push_back(maps.last()(kid));
        if (&p != &first)
            next += int(p.offsets.size()) - 1;
    }
    const int size = next;

    // The header: everything before the first object.
    qint64 firstObject = first.xref;
    for (qint64 o : first.offsets)
        if (o > 0)
            firstObject = std::min(firstObject, o);
    QByteArray out = first.data.left(firstObject);
    QVector<qint64> offsets(size, -1);
    auto write = [&](int number, const QByteArray& object) {
        offsets[number] = out.size();
        out += object;
    };

    // The first file's objects, its page tree with every page.
    for (int n = 1; n < first.offsets.size(); ++n) {
        if (first.offsets[n] < 0)
            continue;
        if (n != first.pages) {
            write(n, first.object(n));
            continue;
        }
        QString kids;
        for (int kid : allKids)
            kids += QStringLiteral("%1 0 R\n").arg(kid);
        QString tree = QString::fromLatin1(first.object(n));
        tree.replace(QRegularExpression(QStringLiteral("/Kids\\s*\\[[^\\]]*\\]")), QStringLiteral("/Kids\n[\n%1]").arg(kids));
        tree.replace(QRegularExpression(QStringLiteral("/Count\\s+\\d+")), QStringLiteral("/Count %1").arg(allKids.size()));
        write(n, tree.toLatin1());
    }
    // The later files' objects under their new numbers, but for their catalogue, page
    // tree and document information.
    for (int i = 1; i < parts.size(); ++i) {
        const Part& p = parts[i];
        for (int n = 1; n < p.offsets.size(); ++n) {
            if (p.offsets[n] < 0 || n == p.root || n == p.pages || n == p.info)
                continue;
            const QByteArray object = p.object(n);
            const qsizetype head = headLength(object);
            const qsizetype header = object.indexOf("obj");
            if (header < 0 || header > head)
                return {};
            write(maps[i](n), QByteArray::number(maps[i](n)) + " 0 "
                                  + renumbered(object.mid(header, head - header), maps[i]) + object.mid(head));
        }
    }

    const qint64 xref = out.size();
    out += "xref\n0 " + QByteArray::number(size) + "\n0000000000 65535 f \n";
    for (int n = 1; n < size; ++n)
        out += offsets[n] < 0 ? QByteArray("0000000000 00000 f \n")
                              : QByteArray::number(offsets[n]).rightJustified(10, '0') + " 00000 n \n";
    QString trailer = QString::fromLatin1(first.trailer);
    trailer.replace(QRegularExpression(QStringLiteral("/Size\\s+\\d+")), QStringLiteral("/Size %1").arg(size));
    out += "trailer\n" + trailer.toLatin1() + "\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

}
