#include "reportengine/layout.h"

namespace ReportEngine {

Field Field::label(const QString& text, double left, double width, Qt::Alignment align)
{
    Field f;
    f.kind = Label;
    f.text = text;
    f.left = left;
    f.width = width;
    f.align = align;
    return f;
}

Field Field::data(const QString& field, double left, double width, Qt::Alignment align, const QString& mask)
{
    Field f = label(field, left, width, align);
    f.kind = Data;
    f.mask = mask;
    return f;
}

Field Field::expression(const QString& expr, double left, double width, Qt::Alignment align, const QString& mask)
{
    Field f = label(expr, left, width, align);
    f.kind = Expression;
    f.mask = mask;
    return f;
}

Field Field::span(Kind kind, const QString& text, double from, double to, Qt::Alignment align, const QString& mask)
{
    Field f = label(text, from, to - from, align);
    f.kind = kind;
    f.mask = mask;
    return f;
}

Field* Band::field(const QString& name)
{
    for (Field& f : fields)
        if (f.name == name)
            return &f;
    return nullptr;
}

const Field* Band::field(const QString& name) const
{
    return const_cast<Band*>(this)->field(name);
}

Field* Layout::field(const QString& name)
{
    for (Band& b : bands)
        if (Field* f = b.field(name))
            return f;
    return nullptr;
}

const Field* Layout::field(const QString& name) const
{
    return const_cast<Layout*>(this)->field(name);
}

Band* Layout::band(const QString& name)
{
    for (Band& b : bands)
        if (b.name == name)
            return &b;
    return nullptr;
}

const Band* Layout::band(const QString& name) const
{
    return const_cast<Layout*>(this)->band(name);
}

QSizeF Layout::pageSizeMm() const
{
    return orientation == QPageLayout::Landscape ? QSizeF(297, 210) : QSizeF(210, 297);
}

double Layout::printableWidthMm() const
{
    return pageSizeMm().width() - 2 * marginsMm;
}

QFont Layout::defaultFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8);
    return font;
}

}
