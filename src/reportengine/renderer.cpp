#include "reportengine/renderer.h"

#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <cmath>

namespace ReportEngine {
namespace {

constexpr double kRuleWidthMm = 0.2;

}

void paintPage(QPainter& painter, const Document& document, int page)
{
    if (page < 0 || page >= document.pageCount())
        return;
    const QPaintDevice* device = painter.device();
    const double sx = device->logicalDpiX() / 25.4;
    const double sy = device->logicalDpiY() / 25.4;
    QFont normal = document.font;
    QFont bold = normal;
    bold.setBold(true);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    int currentFont = -1;
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
            if (currentFont != int(item.bold)) {
                painter.setFont(item.bold ? bold : normal);
                currentFont = int(item.bold);
            }
            painter.setPen(color);
            painter.drawText(rect, int(item.alignment()) | Qt::TextDontClip | Qt::TextSingleLine, item.text);
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

bool writePdf(const Document& document, const QString& path)
{
    QPdfWriter writer(path);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Табель"));
    writer.setPageLayout(document.pageLayout());
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    for (int page = 0; page < document.pageCount(); ++page) {
        if (page > 0)
            writer.newPage();
        paintPage(painter, document, page);
    }
    return painter.end();
}

bool print(const Document& document, QPrinter& printer)
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
        if (page > from)
            printer.newPage();
        paintPage(painter, document, page - 1);
    }
    return painter.end();
}

}
