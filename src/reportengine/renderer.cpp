#include "reportengine/renderer.h"

#include "reportengine/pdfjoin.h"

#include <QBuffer>
#include <QFile>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QRawFont>
#include <QPdfWriter>
#include <QPrinter>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace ReportEngine {
namespace {

constexpr double kRuleWidthMm = 0.2;

// Texts are drawn as glyph runs of the font's own glyphs and advances: one character
// map lookup per letter instead of a text layout per item, which makes a PDF of
// thousands of pages several times faster. Texts with a letter the font lacks take
// the ordinary way, where Qt finds a fallback font.
class TextPainter {
public:
    TextPainter(const QFont& font, const QPaintDevice* device)
    {
        QFont sized = font;
        const double pixels = font.pointSizeF() * device->logicalDpiY() / 72.0;
        sized.setPixelSize(std::max(1, int(std::lround(pixels))));
        raw_ = QRawFont::fromFont(sized);
        if (raw_.isValid())
            raw_.setPixelSize(pixels);
        font_ = font;
    }

    void draw(QPainter& painter, const QRectF& rect, Qt::Alignment align, const QString& text)
    {
        if (!raw_.isValid() || !drawRun(painter, rect, align, text)) {
            painter.setFont(font_);
            painter.drawText(rect, int(align) | Qt::TextDontClip | Qt::TextSingleLine, text);
        }
    }

private:
    // A text shaped once: its glyphs and their places from the run's start.
    struct Shaped {
        QGlyphRun run;
        qreal width = 0;
        bool drawable = false;
    };

    const Shaped& shape(const QString& text)
    {
        auto found = shaped_.constFind(text);
        if (found != shaped_.constEnd())
            return *found;
        Shaped s;
        const QList<quint32> glyphs = raw_.glyphIndexesForString(text);
        if (!glyphs.isEmpty() && !glyphs.contains(0u)) {
            QList<QPointF> positions;
            positions.reserve(glyphs.size());
            qreal x = 0;
            for (quint32 glyph : glyphs) {
                positions.push_back(QPointF(x, 0));
                x += advance(glyph);
            }
            s.run.setRawFont(raw_);
            s.run.setGlyphIndexes(glyphs);
            s.run.setPositions(positions);
            s.width = x;
            s.drawable = true;
        }
        // Reports repeat their kinds, names and many numbers; a year's report has a few
        // thousand different texts.
        if (shaped_.size() > kShapedLimit)
            shaped_.clear();
        return *shaped_.insert(text, s);
    }

    bool drawRun(QPainter& painter, const QRectF& rect, Qt::Alignment align, const QString& text)
    {
        const Shaped& s = shape(text);
        if (!s.drawable)
            return false;
        const qreal x = s.width;
        qreal left = rect.left();
        if (align & Qt::AlignRight)
            left = rect.right() - x;
        else if (align & Qt::AlignHCenter)
            left = rect.left() + (rect.width() - x) / 2;
        const qreal ascent = raw_.ascent(), descent = raw_.descent();
        qreal baseline = rect.top() + (rect.height() + ascent - descent) / 2;
        if (align & Qt::AlignTop)
            baseline = rect.top() + ascent;
        else if (align & Qt::AlignBottom)
            baseline = rect.bottom() - descent;
        painter.drawGlyphRun(QPointF(left, baseline), s.run);
        return true;
    }

    // Reports repeat few letters and many digits: each advance is asked of the font once.
    qreal advance(quint32 glyph)
    {
        if (glyph >= quint32(advances_.size()))
            advances_.resize(glyph + 1, -1);
        qreal& a = advances_[glyph];
        if (a < 0)
            a = raw_.advancesForGlyphIndexes(QList<quint32>{glyph}, QRawFont::UseDesignMetrics).value(0).x();
        return a;
    }

    static constexpr int kShapedLimit = 20000;

    QRawFont raw_;
    QFont font_;
    std::vector<qreal> advances_;
    QHash<QString, Shaped> shaped_;
};

// Paints pages of one document on one device, keeping the fonts and the shaped texts
// from page to page.
class PagePainter {
public:
    PagePainter(const Document& document, const QPaintDevice* device)
        : document_(document), normal_(document.font, device), bold_(boldOf(document.font), device),
          sx_(device->logicalDpiX() / 25.4), sy_(device->logicalDpiY() / 25.4)
    {
    }

    void paint(QPainter& painter, int page)
    {
        if (page < 0 || page >= document_.pageCount())
            return;
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        for (const Item& item : document_.pages[page].items) {
            const QRectF rect(item.x * sx_, item.y * sy_, item.w * sx_, item.h * sy_);
            const QColor color = QColor::fromRgba(item.color);
            switch (item.kind) {
            case Item::Kind::Fill:
                painter.fillRect(rect, color);
                break;
            case Item::Kind::Line: {
                QPen pen(color);
                pen.setWidthF(std::max(1.0, kRuleWidthMm * sx_));
                pen.setCapStyle(Qt::FlatCap);
                pen.setStyle(item.style == LineStyle::Dotted ? Qt::DotLine : Qt::SolidLine);
                painter.setPen(pen);
                painter.drawLine(QLineF(rect.topLeft(), rect.bottomRight()));
                break;
            }
            case Item::Kind::Text:
                painter.setPen(color);
                (item.bold ? bold_ : normal_).draw(painter, rect, item.alignment(), item.text);
                break;
            }
        }
        painter.restore();
    }

private:
    static QFont boldOf(QFont font)
    {
        font.setBold(true);
        return font;
    }

    const Document& document_;
    TextPainter normal_;
    TextPainter bold_;
    double sx_, sy_;
};

}

void paintPage(QPainter& painter, const Document& document, int page)
{
    PagePainter(document, painter.device()).paint(painter, page);
}

QImage pageImage(const Document& document, int page, double dotsPerMm)
{
    const QSize size(int(std::ceil(document.pageSizeMm.width() * dotsPerMm)),
                     int(std::ceil(document.pageSizeMm.height() * dotsPerMm)));
    QImage image(size, QImage::Format_RGB32);
    image.setDotsPerMeterX(int(std::lround(dotsPerMm * 1000)));
    image.setDotsPerMeterY(int(std::lround(dotsPerMm * 1000)));
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPage(painter, document, page);
    return image;
}

namespace {

constexpr int kParallelPages = 64;   // a shorter document is written in one piece

void setUp(QPdfWriter& writer, const Document& document)
{
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Табель"));
    writer.setPageLayout(document.pageLayout());
}

// Writes pages from..to-1 on the writer; before each, going() says whether to go on.
bool writePages(QPdfWriter& writer, const Document& document, int from, int to, const std::function<bool(int)>& going)
{
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    PagePainter pages(document, &writer);
    for (int page = from; page < to; ++page) {
        if (going && !going(page)) {
            painter.end();
            return false;
        }
        if (page > from)
            writer.newPage();
        pages.paint(painter, page);
    }
    return painter.end();
}

}

bool writePdf(const Document& document, const QString& path, const Progress& progress)
{
    const int count = document.pageCount();
    const int parts = count >= kParallelPages ? std::clamp(QThread::idealThreadCount(), 1, 4) : 1;
    if (parts == 1) {
        QPdfWriter writer(path);
        setUp(writer, document);
        bool stopped = false;
        const bool written = writePages(writer, document, 0, count, [&](int page) {
            stopped = progress && !progress(page, count);
            return !stopped;
        });
        if (stopped)
            QFile::remove(path);
        return written;
    }

    // Pages do not depend on each other: each core writes a run of them into a file of
    // its own, and libqpdf joins the runs. (One writer for all pages costs about 1.3 times
    // the wall time of two runs and their join: the year's PDF would reach its 4 s.)
    // This thread writes the first run and tells the progress of all.
    QVector<QByteArray> files(parts);
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
    auto writeRun = [&](int part) {
        const int from = count * part / parts, to = count * (part + 1) / parts;
        // About 5 KB a page of a summary; growing a buffer of megabytes costs copies.
        files[part].reserve(qsizetype(to - from) * 6 * 1024);
        QBuffer buffer(&files[part]);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        setUp(writer, document);
        const bool written = writePages(writer, document, from, to, [&](int) {
            if (part == 0 && progress && !progress(done.load(), count))
                stop = true;
            ++done;
            return !stop.load();
        });
        if (!written) {
            stop = true;
            files[part].clear();
        }
    };
    std::vector<std::thread> others;
    for (int part = 1; part < parts; ++part)
        others.emplace_back(writeRun, part);
    writeRun(0);
    for (std::thread& t : others)
        t.join();
    if (stop)
        return false;
    const QByteArray joined = PdfJoin::join(files);
    QFile file(path);
    if (joined.isEmpty() || !file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(joined) != joined.size() || !file.flush()) {
        file.remove();
        return false;
    }
    return true;
}

bool print(const Document& document, QPrinter& printer, const Progress& progress)
{
    printer.setFullPage(true);
    int from = 1, to = document.pageCount();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::max(1, printer.fromPage());
        to = std::min(to, printer.toPage() > 0 ? printer.toPage() : to);
    }
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    PagePainter pages(document, &printer);
    for (int page = from; page <= to; ++page) {
        if (progress && !progress(page - from, to - from + 1)) {
            printer.abort();
            painter.end();
            return false;
        }
        if (page > from)
            printer.newPage();
        pages.paint(painter, page - 1);
    }
    return painter.end();
}

}
