#pragma once
#include <QStyledItemDelegate>

// Draws a read-only grid cell exactly as the Fusion style draws it (the item's panel and
// selection, the text in the palette's colour for its state, aligned, wrapped and elided
// as the view says, the focus frame), but lays each text out and shapes it only once:
// the result is kept in a bounded cache shared by every grid, so the names, products and
// numbers that recur across rows and dates are not shaped again on every paint. Any
// other cell (a decoration, a check box, an open editor, another style or a style
// sheet) is drawn by the style as QStyledItemDelegate draws it. Subclasses colour or
// embolden cells in initStyleOption, as with QStyledItemDelegate.
class GridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // How many laid-out texts the shared cache keeps; the least recently drawn go first.
    // 0 keeps none: every text is then laid out once per paint.
    static int textCacheCapacity();
    static void setTextCacheCapacity(int texts);
    static int cachedTexts();
    static void clearTextCache();

private:
    // Whether a cell of this option (as initStyleOption left it) is drawn here rather
    // than by the style.
    static bool drawsItself(const QStyleOptionViewItem& option);
};
