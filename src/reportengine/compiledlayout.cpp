#include "reportengine/compiledlayout.h"

#include "reportengine/engine.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>

namespace ReportEngine {

namespace {

double textWidthMm(const QFont& font, const QString& text)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return text.size() * font.pointSizeF() * 0.6 * 25.4 / 72;
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.setDotsPerMeterX(int(1200 / 0.0254));
        image.setDotsPerMeterY(int(1200 / 0.0254));
        return image;
    }();
    return QFontMetricsF(font, &device).horizontalAdvance(text) * 25.4 / 1200 + 0.5;
}

Item fill(float x, float y, float w, float h, const QColor& color)
{
    Item item;
    item.kind = Item::Kind::Fill;
    item.color = color.rgba();
    item.x = x; item.y = y; item.w = w; item.h = h;
    return item;
}

void addFrame(QVector<Item>& items, float x, float y, float w, float h, const Frame& frame)
{
    auto line = [&](const Rule& rule, float lx, float ly, float lw, float lh) {
        if (!rule.visible())
            return;
        Item item;
        item.kind = Item::Kind::Line;
        item.style = rule.style;
        item.color = rule.color.rgba();
        item.x = lx; item.y = ly; item.w = lw; item.h = lh;
        items.push_back(item);
    };
    line(frame.top, x, y, w, 0);
    line(frame.bottom, x, y + h, w, 0);
    line(frame.left, x, y, 0, h);
    line(frame.right, x + w, y, 0, h);
}

QString bandName(const Band& band)
{
    return band.name.isEmpty() ? QStringLiteral("(без имени)") : band.name;
}

}

CompiledLayout::CompiledLayout(const Layout& source, const RowSource* rows) : layout(source), rows_(rows)
{
    const QSizeF page = layout.pageSizeMm();
    pageHeight = float(page.height());
    margin = float(layout.marginsMm);
    printable = float(layout.printableWidthMm());

    const QVector<Band>& list = layout.bands;
    bands.resize(list.size());
    for (int i = 0; i < list.size(); ++i)
        compileBand(i);

    auto indexOf = [&](const QString& name) {
        for (int i = 0; i < list.size(); ++i)
            if (list[i].name == name)
                return i;
        return -1;
    };
    for (int i = 0; i < list.size(); ++i) {
        const Band& b = list[i];
        switch (b.kind) {
        case BandKind::Title: titles.push_back(i); break;
        case BandKind::Summary: summaries.push_back(i); break;
        case BandKind::PageFooter: pageFooters.push_back(i); break;
        case BandKind::Detail:
            if (detail >= 0)
                throw LayoutError(QStringLiteral("В макете отчета больше одной полосы данных: «%1» и «%2»")
                                      .arg(bandName(list[detail]), bandName(b)));
            detail = i;
            break;
        case BandKind::GroupHeader: {
            // Without an expression it is the report's header and its footer the
            // grand total: printed also when there are no rows.
            if (b.groupExpression.trimmed().isEmpty()) {
                titles.push_back(i);
                break;
            }
            GroupLevel level;
            level.header = i;
            level.key = compileExpression(b.groupExpression, rows_, nullptr);
            levels.push_back(std::move(level));
            break;
        }
        case BandKind::Child: {
            const int parent = indexOf(b.header);
            if (parent < 0 || parent == i)
                throw LayoutError(QStringLiteral("Дочерняя полоса «%1» ссылается на отсутствующую полосу «%2»")
                                      .arg(bandName(b), b.header));
            bands[parent].children.push_back(i);
            break;
        }
        case BandKind::GroupFooter:
            break;
        }
    }
    for (int i = 0; i < list.size(); ++i) {
        const Band& b = list[i];
        if (b.kind != BandKind::GroupFooter)
            continue;
        GroupLevel* level = nullptr;
        for (GroupLevel& l : levels)
            if (list[l.header].name == b.header)
                level = &l;
        const int once = indexOf(b.header);
        if (!level && once >= 0 && list[once].kind == BandKind::GroupHeader) {
            summaries.push_front(i);
            continue;
        }
        if (!level)
            throw LayoutError(QStringLiteral("Итог группы «%1» ссылается на отсутствующий заголовок группы «%2»")
                                  .arg(bandName(b), b.header));
        if (level->footer >= 0)
            throw LayoutError(QStringLiteral("У группы «%1» два итога").arg(b.header));
        level->footer = i;
    }
    for (GroupLevel& l : levels) {
        const QString& keep = list[l.header].keepWith;
        l.keepWithFooter = !keep.isEmpty() && l.footer >= 0 && list[l.footer].name == keep;
    }
    for (const CompiledBand& b : bands)
        if (b.band->kind == BandKind::PageFooter)
            footerHeight += chainHeight(int(&b - bands.data()));
    bodyBottom = pageHeight - margin - footerHeight;
    float top = margin;
    for (int t : titles)
        if (list[t].repeatOnEveryPage)
            top += chainHeight(t);
    freshBody = bodyBottom - top;
}

void CompiledLayout::compileBand(int index)
{
    const Band& band = layout.bands[index];
    CompiledBand& cb = bands[index];
    cb.band = &band;
    cb.height = float(std::max(0.0, band.height));
    cb.firstSlot = int(sumSlots.arguments.size());
    if (band.background.isValid())
        cb.under.push_back(fill(margin, 0, printable, cb.height, band.background));
    QFont bold = layout.font;
    bold.setBold(true);
    for (const Field& f : band.fields) {
        CompiledField cf;
        switch (f.kind) {
        case Field::Label:
            cf.label = f.text;
            break;
        case Field::Data:
            cf.expr = fieldExpression(f.text, f.text, rows_);
            break;
        case Field::Expression:
            cf.expr = compileExpression(f.text, rows_, &sumSlots);
            break;
        }
        bool maskOk = true;
        cf.mask = NumberMask::parse(f.mask, &maskOk);
        if (!maskOk)
            throw LayoutError(QStringLiteral("Маска «%1» поля «%2» не поддерживается").arg(f.mask, f.name.isEmpty() ? f.text : f.name));
        double width = f.width;
        if (width <= 0)
            width = f.kind == Field::Label ? textWidthMm(f.bold ? bold : layout.font, f.text)
                                           : std::max(1.0, layout.printableWidthMm() - f.left);
        cf.x = float(margin + f.left);
        cf.y = float(f.top);
        cf.w = float(width);
        cf.h = float(f.height > 0 ? f.height : std::max(0.0, band.height - f.top));
        Qt::Alignment align = f.align;
        if (!(align & Qt::AlignVertical_Mask))
            align |= Qt::AlignVCenter;
        if (!(align & Qt::AlignHorizontal_Mask))
            align |= Qt::AlignLeft;
        cf.align = quint16(align);
        cf.bold = f.bold;
        if (f.background.isValid())
            cb.under.push_back(fill(cf.x, cf.y, cf.w, cf.h, f.background));
        addFrame(cb.over, cf.x, cf.y, cf.w, cf.h, f.frame);
        cb.fields.push_back(std::move(cf));
    }
    addFrame(cb.over, margin, 0, printable, cb.height, band.frame);
    cb.slotCount = int(sumSlots.arguments.size()) - cb.firstSlot;
}

float CompiledLayout::chainHeight(int band) const
{
    float h = bands[band].height;
    for (int c : bands[band].children)
        h += chainHeight(c);
    return h;
}

}
