#include "ui/gridcelldelegate.h"

#include <QApplication>
#include <QCache>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <memory>

namespace {

// What a cell's laid-out text depends on: the text, its font, the box it is drawn in,
// its alignment and direction, the eliding and the wrapping.
struct TextKey {
    QString text;
    QFont font;
    int width = 0;
    int height = 0;
    int alignment = 0;
    int direction = 0;
    int elideMode = 0;
    bool wrap = false;
};

bool operator==(const TextKey& a, const TextKey& b)
{
    return a.width == b.width && a.height == b.height && a.alignment == b.alignment && a.direction == b.direction
        && a.elideMode == b.elideMode && a.wrap == b.wrap && a.text == b.text && a.font == b.font;
}

size_t qHash(const TextKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.text, key.width, key.height, key.alignment, key.direction, key.elideMode,
                      key.wrap, key.font);
}

// A cell's text laid out, elided and placed as the style does it, ready to draw. The
// layout keeps its shaped glyphs, so drawing it again shapes nothing.
struct ShapedText {
    QTextLayout layout;
    qreal top = 0;        // where it is drawn, from the top of the text's box
    bool inside = false;  // its lines stay inside the box, with room above and below
};

// The texts of every grid, shared: the same values recur across grids as well.
struct ShapedTexts {
    static constexpr int kDefaultCapacity = 3000;
    QCache<TextKey, ShapedText> kept{kDefaultCapacity};
    std::unique_ptr<ShapedText> unkept;   // the last one drawn when none are kept

    void clear()
    {
        kept.clear();
        unkept.reset();
    }
};

ShapedTexts& shapedTexts()
{
    static ShapedTexts texts;
    static const bool cleanedUp = [] {
        // The layouts hold fonts: let them go while the application's fonts still exist.
        qAddPostRoutine([] { shapedTexts().clear(); });
        return true;
    }();
    Q_UNUSED(cleanedUp);
    return texts;
}

// Breaks the text into lines of the width one under the other, as the style does. With
// a maximum height, stops at the last line that leaves room for another as high, and
// tells which line that is when more text follows (else -1).
void layOut(QTextLayout& layout, int width, int maxHeight = -1, int* lastVisibleLine = nullptr)
{
    if (lastVisibleLine)
        *lastVisibleLine = -1;
    qreal height = 0;
    layout.beginLayout();
    for (int i = 0;; ++i) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
        if (maxHeight > 0 && lastVisibleLine && height + line.height() > maxHeight) {
            const QTextLine next = layout.createLine();
            *lastVisibleLine = next.isValid() ? i : -1;
            break;
        }
    }
    layout.endLayout();
}

// QCommonStyle's way with an item's text, done once: the text is laid out in its box;
// the lines above the box are skipped, a line wider than the box is elided, and so is
// the last one that shows when more follow (with "…" added); the lines below are
// dropped. What is left is laid out again to be drawn, unless nothing changed.
std::unique_ptr<ShapedText> shape(const TextKey& key, const QTextOption& textOption)
{
    auto first = std::make_unique<ShapedText>();
    QTextLayout& layout = first->layout;
    layout.setCacheEnabled(true);
    layout.setText(key.text);
    layout.setFont(key.font);
    layout.setTextOption(textOption);
    const Qt::Alignment alignment(key.alignment);
    int lastVisibleLine = -1;
    layOut(layout, key.width, alignment.testFlag(Qt::AlignVCenter) ? key.height : -1, &lastVisibleLine);

    const QRect box(0, 0, key.width, key.height);
    const QRect layoutRect = QStyle::alignedRect(Qt::LayoutDirectionAuto, alignment,
                                                 layout.boundingRect().size().toSize(), box);
    qreal top = layoutRect.top();
    QString shown;
    qreal height = 0;
    const QFontMetrics metrics(key.font);
    const int lineCount = layout.lineCount();
    for (int i = 0; i < lineCount; ++i) {
        const QTextLine line = layout.lineAt(i);
        height += line.height();
        if (height + layoutRect.top() <= box.top()) {
            top += line.height();
            continue;
        }
        const bool tooWide = line.naturalTextWidth() > box.width();
        bool moreBelow = lastVisibleLine == i;
        if (!tooWide && i + 1 < lineCount) {
            // Less than half of the next line would show.
            const int nextHeight = height + layout.lineAt(i + 1).height() / 2;
            if (nextHeight + layoutRect.top() > box.height() + box.top())
                moreBelow = true;
        }
        QString text = layout.text().mid(line.textStart(), line.textLength());
        if (tooWide || moreBelow) {
            if (moreBelow) {
                if (text.endsWith(QChar::LineSeparator))
                    text.chop(1);
                text += QChar(0x2026);
            }
            shown += metrics.elidedText(text, Qt::TextElideMode(key.elideMode), box.width());
            if (i < lineCount - 1 && !shown.endsWith(QChar::LineSeparator))
                shown += QChar::LineSeparator;
        } else {
            shown += text;
        }
        if (height + layoutRect.top() >= box.bottom() || (lastVisibleLine >= 0 && lastVisibleLine == i))
            break;
    }
    std::unique_ptr<ShapedText> shaped = std::move(first);
    if (shown != key.text || lastVisibleLine >= 0) {
        shaped = std::make_unique<ShapedText>();
        shaped->layout.setCacheEnabled(true);
        shaped->layout.setText(shown);
        shaped->layout.setFont(key.font);
        shaped->layout.setTextOption(textOption);
        layOut(shaped->layout, key.width);
    }
    shaped->top = top;
    // Glyphs may reach a little past their line's box: room of a few pixels is kept.
    constexpr int room = 2;
    qreal bottom = top;
    bool narrow = true;
    for (int i = 0; i < shaped->layout.lineCount(); ++i) {
        bottom += shaped->layout.lineAt(i).height();
        narrow = narrow && shaped->layout.lineAt(i).naturalTextWidth() <= key.width;
    }
    shaped->inside = narrow && top >= room && bottom <= key.height - room;
    return shaped;
}

QPalette::ColorGroup colorGroup(const QStyleOptionViewItem& option)
{
    if (!(option.state & QStyle::State_Enabled))
        return QPalette::Disabled;
    return (option.state & QStyle::State_Active) ? QPalette::Normal : QPalette::Inactive;
}

const ShapedText* shapedText(const QStyleOptionViewItem& option, const QRect& textRect)
{
    const bool wrap = option.features & QStyleOptionViewItem::WrapText;
    const TextKey key{option.text, option.font, textRect.width(), textRect.height(), int(option.displayAlignment),
                      int(option.direction), int(option.textElideMode), wrap};
    ShapedTexts& texts = shapedTexts();
    if (const ShapedText* shaped = texts.kept.object(key))
        return shaped;
    QTextOption textOption;
    textOption.setWrapMode(wrap ? QTextOption::WordWrap : QTextOption::ManualWrap);
    textOption.setTextDirection(option.direction);
    textOption.setAlignment(QStyle::visualAlignment(option.direction, option.displayAlignment));
    std::unique_ptr<ShapedText> shaped = shape(key, textOption);
    if (texts.kept.maxCost() > 0 && texts.kept.insert(key, shaped.get()))
        return shaped.release();
    texts.unkept = std::move(shaped);
    return texts.unkept.get();
}

// QCommonStyle's item panel, which Fusion keeps: the selection or the item's own
// background. Drawn here, since the style works out all its colours on every call.
void drawPanel(QPainter* painter, const QStyleOptionViewItem& option, const QStyle* style)
{
    const bool selected = option.state & QStyle::State_Selected;
    if (selected && !option.showDecorationSelected) {
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, painter, option.widget);
        return;
    }
    QPalette::ColorGroup group = (option.widget ? option.widget->isEnabled() : bool(option.state & QStyle::State_Enabled))
                                     ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(option.state & QStyle::State_Active))
        group = QPalette::Inactive;
    if (selected) {
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    } else if (option.backgroundBrush.style() != Qt::NoBrush) {
        const QPointF origin = painter->brushOrigin();
        painter->setBrushOrigin(option.rect.topLeft());
        painter->fillRect(option.rect, option.backgroundBrush);
        painter->setBrushOrigin(origin);
    }
}

void drawFocus(QPainter* painter, const QStyleOptionViewItem& option, const QStyle* style)
{
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &option, option.widget);
    focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
    const QPalette::ColorGroup group = (option.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    focus.backgroundColor = option.palette.color(group, (option.state & QStyle::State_Selected) ? QPalette::Highlight
                                                                                              : QPalette::Window);
    style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
}

const QStyle* styleOf(const QStyleOptionViewItem& option)
{
    return option.widget ? option.widget->style() : QApplication::style();
}

}

bool GridCellDelegate::drawsItself(const QStyleOptionViewItem& option)
{
    // The drawing below is the Fusion style's; a style sheet or another style draws its own way.
    if (qstrcmp(styleOf(option)->metaObject()->className(), "QFusionStyle") != 0)
        return false;
    constexpr auto others = QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasCheckIndicator;
    if ((option.features & others) || (option.state & QStyle::State_Editing))
        return false;
    if (option.decorationPosition != QStyleOptionViewItem::Left && option.decorationPosition != QStyleOptionViewItem::Right)
        return false;
    // A text of alternatives that eliding picks from.
    return !option.text.contains(QChar(0x9c));
}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QStyle* style = styleOf(opt);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget) + 1;
    if (!drawsItself(opt) || opt.rect.width() <= 2 * margin) {
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        return;
    }

    drawPanel(painter, opt, style);
    const QRect textRect = opt.rect.adjusted(margin, 0, -margin, 0);
    const ShapedText* text = opt.text.isEmpty() ? nullptr : shapedText(opt, textRect);
    // Nothing of the cell, a long text or a tall font, draws beyond it; a text well
    // inside needs no clipping.
    const bool focus = opt.state & QStyle::State_HasFocus;
    const bool clip = focus || (text && (!text->inside || margin < 2));
    if (clip) {
        painter->save();
        painter->setClipRect(opt.rect, Qt::IntersectClip);
    }
    if (text) {
        const QPen pen = painter->pen();
        painter->setPen(opt.palette.color(colorGroup(opt), (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                              : QPalette::Text));
        text->layout.draw(painter, QPointF(textRect.x(), textRect.top() + text->top));
        painter->setPen(pen);
    }
    if (focus)
        drawFocus(painter, opt, style);
    if (clip)
        painter->restore();
}

int GridCellDelegate::textCacheCapacity()
{
    return int(shapedTexts().kept.maxCost());
}

void GridCellDelegate::setTextCacheCapacity(int texts)
{
    shapedTexts().kept.setMaxCost(qMax(0, texts));
}

int GridCellDelegate::cachedTexts()
{
    return int(shapedTexts().kept.size());
}

void GridCellDelegate::clearTextCache()
{
    shapedTexts().clear();
}
