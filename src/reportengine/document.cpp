#include "reportengine/document.h"

#include <QPageSize>

namespace ReportEngine {

QVector<const Item*> Document::texts(int page) const
{
    QVector<const Item*> list;
    if (page < 0 || page >= pages.size())
        return list;
    for (const Item& item : pages[page].items)
        if (item.kind == Item::Kind::Text)
            list.push_back(&item);
    return list;
}

QVector<const Item*> Document::find(int page, const QString& text) const
{
    QVector<const Item*> list;
    for (const Item* item : texts(page))
        if (item->text == text)
            list.push_back(item);
    return list;
}

QPageLayout Document::pageLayout() const
{
    return QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

}
