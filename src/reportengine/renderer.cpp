#include "reportengine/renderer.h"

#include <QFile>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QPdfWriter>
#include <QPrinter>
#include <cmath>
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
    bool drawRun(QPainter& painter, const QRectF& rect, Qt::Alignment align, const QString& text)
    {
        const QList<quint32> glyphs = raw_.glyphIndexesForString(text);
        if (glyphs.isEmpty() || glyphs.contains(0u))
            return false;
        QList<QPointF> positions;
        positions.reserve(glyphs.size());
        qreal x = 0;
        for (quint32 glyph : glyphs) {
            positions.push_back(QPointF(x, 0));
            x += advance(glyph);
        }
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
        QGlyphRun run;
        run.setRawFont(raw_);
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        painter.drawGlyphRun(QPointF(left, baseline), run);
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

    QRawFont raw_;
    QFont font_;
    std::vector<qreal> advances_;
};

}

void paintPage(QPainter& painter, const Document& document, int page)
{
    if (page < 0 || page >= document.pageCount())
        return;
    const QPaintDevice* device = painter.device();
    const double sx = device->logicalDpiX() / 25.4;
    const double sy = device->logicalDpiY() / 25.4;
    QFont boldFont = document.font;
    boldFont.setBold(true);
    TextPainter normal(document.font, device);
    TextPainter bold(boldFont, device);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (const Item& item : document.pages[page].items) {
        const QRectF rect(item.x * sx, item.y * sy, item.w * sx, item.h * sy);
        const QColor color = QColor::fromRgba(item.color);
        switch (item.kind) {
        case Item::Kind::Fill:
            painter.fillRect(rect, color);
            break;
        case Item::Kind::Line: {
            QPen pen(color);
            pen.setWidthF(std::max(1.0, kRuleWidthMm * sx));
            pen.setCapStyle(Qt::FlatCap);
            pen.setStyle(item.style == LineStyle::Dotted ? Qt::DotLine : Qt::SolidLine);
            painter.setPen(pen);
            painter.drawLine(QLineF(rect.topLeft(), rect.bottomRight()));
            break;
        }
        case Item::Kind::Text:
            painter.setPen(color);
            (item.bold ? bold : normal).draw(painter, rect, item.alignment(), item.text);
            break;
        }
    }
    painter.restore();
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

bool writePdf(const Document& document, const QString& path, const Progress& progress)
{
    QPdfWriter writer(path);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Табель"));
    writer.setPageLayout(document.pageLayout());
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    for (int page = 0; page < document.pageCount(); ++page) {
        if (progress && !progress(page, document.pageCount())) {
            painter.end();
            QFile::remove(path);
            return false;
        }
        if (page > 0)
            writer.newPage();
        paintPage(painter, document, page);
    }
    return painter.end();
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
    for (int page = from; page <= to; ++page) {
        if (progress && !progress(page - from, to - from + 1)) {
            printer.abort();
            painter.end();
            return false;
        }
        if (page > from)
            printer.newPage();
        paintPage(painter, document, page - 1);
    }
    return painter.end();
}

}
