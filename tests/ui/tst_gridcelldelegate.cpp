#include "support/plantfixture.h"
#include "timesheet/timesheetgrid.h"
#include "ui/datasetgrid.h"
#include "ui/gridcelldelegate.h"

#include <QHeaderView>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QTableView>
#include <QtTest>

namespace {

// How a test cell looks: what the model answers for it and how the view shows it.
struct CellLook {
    QVariant text;                 // invalid: no display value at all
    int alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool bold = false;
    QColor foreground;             // invalid: the palette's
    QColor background;             // invalid: none
    bool selected = false;
    bool focused = false;
    int width = 120;
    bool wordWrap = true;          // as a QTableView has it unless told otherwise
    int pointSize = 0;             // 0: the application's
    Qt::BrushStyle backgroundStyle = Qt::SolidPattern;
    bool enabled = true;
    bool inactive = false;         // another window is the active one
};

// The journal's "OK" column look, over either base: bold, green or red.
template <class Base>
class AcceptanceLook : public Base {
public:
    using Base::Base;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        Base::initStyleOption(option, index);
        option->font.setBold(true);
        const QColor colour = index.data().toString() == QStringLiteral("ok") ? QColor(0, 128, 0) : QColor(255, 0, 0);
        option->palette.setColor(QPalette::Text, colour);
        option->palette.setColor(QPalette::HighlightedText, colour);
    }
};

// A delegate with its look open to others.
template <class Delegate>
class Exposed : public Delegate {
public:
    using Delegate::Delegate;
    using Delegate::initStyleOption;
};

// Draws with the style what a delegate's initStyleOption makes of a cell: what
// QStyledItemDelegate::paint does with that delegate's look.
template <class Delegate>
class StyleDrawn : public QStyledItemDelegate {
public:
    explicit StyleDrawn(const Exposed<Delegate>& look) : look_(look) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        look_.initStyleOption(&opt, index);
        opt.widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    }

private:
    const Exposed<Delegate>& look_;
};

// The cell under test is (1, 1) of a small grid whose other cells are empty, so that
// the text cache holds its text alone.
constexpr int kRow = 1, kColumn = 1;

int differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col)
            count += x.pixel(col, row) != y.pixel(col, row);
    return count;
}

}

Q_DECLARE_METATYPE(CellLook)

// The grid delegate against QStyledItemDelegate, pixel for pixel, on the Fusion style.
class GridCellDelegateTest : public QObject {
    Q_OBJECT
    QStandardItemModel model{3, 3};
    QTableView* view = nullptr;
    QStyledItemDelegate resting;   // the view's delegate between two drawings
    QWidget other;                 // a window that takes the activation from the grid's

    void setUpView()
    {
        view = new QTableView;
        view->setModel(&model);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
        view->verticalHeader()->setVisible(false);
        view->setAlternatingRowColors(true);
        view->resize(420, 160);
        other.resize(100, 100);
        other.move(500, 0);
        other.show();
        view->show();
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view));
    }

    void showCell(const CellLook& look)
    {
        model.clear();
        model.setRowCount(3);
        model.setColumnCount(3);
        QStandardItem* item = new QStandardItem;
        if (look.text.isValid())
            item->setData(look.text, Qt::DisplayRole);
        item->setData(look.alignment, Qt::TextAlignmentRole);
        if (look.bold || look.pointSize) {
            QFont font;
            font.setBold(look.bold);
            if (look.pointSize)
                font.setPointSize(look.pointSize);
            item->setData(font, Qt::FontRole);
        }
        if (look.foreground.isValid())
            item->setData(QBrush(look.foreground), Qt::ForegroundRole);
        if (look.background.isValid())
            item->setData(QBrush(look.background, look.backgroundStyle), Qt::BackgroundRole);
        model.setItem(kRow, kColumn, item);
        view->setColumnWidth(kColumn, look.width);
        view->setWordWrap(look.wordWrap);
        view->clearSelection();
        view->setCurrentIndex({});
        if (look.selected)
            view->selectionModel()->select(model.index(kRow, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (look.focused) {
            view->selectionModel()->setCurrentIndex(model.index(kRow, kColumn), QItemSelectionModel::NoUpdate);
            view->setFocus();
        } else {
            view->clearFocus();
        }
        view->setEnabled(look.enabled);
        QWidget* active = look.inactive ? &other : view;
        if (QApplication::activeWindow() != active) {
            active->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(active));
        }
    }

    QImage drawnWith(QAbstractItemDelegate* delegate)
    {
        view->setItemDelegate(delegate);
        const QImage image = view->grab().toImage();
        view->setItemDelegate(&resting);
        return image;
    }

    // Draws the view with the grid delegate and with QStyledItemDelegate and compares.
    void compareDelegates(QAbstractItemDelegate* grid, QAbstractItemDelegate* plain, const QString& name)
    {
        const QImage mine = drawnWith(grid);
        const QImage styles = drawnWith(plain);
        const int differing = differingPixels(mine, styles);
        if (differing != 0) {
            mine.save(QDir::temp().filePath(name + QStringLiteral("-grid.png")));
            styles.save(QDir::temp().filePath(name + QStringLiteral("-plain.png")));
        }
        QCOMPARE(differing, 0);
    }

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        setUpView();
    }
    void cleanupTestCase() { delete view; }
    void init() { GridCellDelegate::clearTextCache(); }

    void drawsAsTheStyle_data()
    {
        QTest::addColumn<CellLook>("look");
        QTest::addColumn<bool>("ownDrawing");
        const int left = Qt::AlignLeft | Qt::AlignVCenter, right = Qt::AlignRight | Qt::AlignVCenter;
        const QString longName = QStringLiteral("Кронштейн КР-100 оцинкованный, с отверстиями под анкер, длинное имя");
        QTest::newRow("left") << CellLook{QStringLiteral("Иванов И.И."), left} << true;
        QTest::newRow("right number") << CellLook{QStringLiteral("1 234,50"), right} << true;
        QTest::newRow("centred") << CellLook{QStringLiteral("8"), int(Qt::AlignCenter)} << true;
        QTest::newRow("top left") << CellLook{QStringLiteral("Гибка"), int(Qt::AlignLeft | Qt::AlignTop)} << true;
        QTest::newRow("bottom right") << CellLook{QStringLiteral("15"), int(Qt::AlignRight | Qt::AlignBottom)} << true;
        QTest::newRow("elided") << CellLook{longName, left} << true;
        QTest::newRow("elided right-aligned") << CellLook{longName, right} << true;
        QTest::newRow("elided centred") << CellLook{longName, int(Qt::AlignCenter)} << true;
        QTest::newRow("narrower than the ellipsis") << CellLook{longName, left, false, {}, {}, false, false, 9} << true;
        QTest::newRow("selected") << CellLook{QStringLiteral("КР-100"), left, false, {}, {}, true} << true;
        QTest::newRow("selected elided") << CellLook{longName, right, false, {}, {}, true} << true;
        QTest::newRow("focused") << CellLook{QStringLiteral("ПР-20"), left, false, {}, {}, false, true} << true;
        QTest::newRow("selected and focused") << CellLook{QStringLiteral("12,5"), right, false, {}, {}, true, true} << true;
        QTest::newRow("foreground") << CellLook{QStringLiteral("no"), int(Qt::AlignCenter), false, QColor(255, 0, 0)} << true;
        QTest::newRow("bold") << CellLook{QStringLiteral("ok"), int(Qt::AlignCenter), true, QColor(0, 128, 0)} << true;
        QTest::newRow("bold selected") << CellLook{QStringLiteral("ok"), int(Qt::AlignCenter), true, QColor(0, 128, 0), {}, true} << true;
        QTest::newRow("background") << CellLook{QStringLiteral("10"), right, true, {}, QColor(192, 220, 192)} << true;
        QTest::newRow("empty text") << CellLook{QString(""), left} << true;
        QTest::newRow("no value") << CellLook{QVariant(), left} << true;
        QTest::newRow("empty focused") << CellLook{QString(""), left, false, {}, {}, true, true} << true;
        CellLook tall{QStringLiteral("Крупно 123"), left};
        tall.pointSize = 22;
        QTest::newRow("taller than the row") << tall << true;
        tall.alignment = int(Qt::AlignCenter);
        tall.selected = true;
        QTest::newRow("taller than the row, selected") << tall << true;
        QTest::newRow("accented capitals") << CellLook{QStringLiteral("ЁЙЇ Ålborg Ÿ"), int(Qt::AlignCenter)} << true;
        CellLook pattern{QStringLiteral("10"), right, false, {}, QColor(192, 0, 0)};
        pattern.backgroundStyle = Qt::Dense4Pattern;
        QTest::newRow("pattern background") << pattern << true;
        CellLook disabled{QStringLiteral("Резка"), left, false, {}, {}, true};
        disabled.enabled = false;
        QTest::newRow("disabled grid, selected") << disabled << true;
        disabled.selected = false;
        QTest::newRow("disabled grid") << disabled << true;
        CellLook inactive{QStringLiteral("Сварка"), left, false, {}, {}, true};
        inactive.inactive = true;
        QTest::newRow("inactive window, selected") << inactive << true;
        inactive.foreground = QColor(255, 0, 0);
        inactive.selected = false;
        QTest::newRow("inactive window, foreground") << inactive << true;
        QTest::newRow("mixed scripts") << CellLook{QStringLiteral("Покраска RAL 9016 — белый"), left} << true;
        QTest::newRow("two lines") << CellLook{QStringLiteral("первая\nвторая"), left} << true;
        QTest::newRow("two lines top") << CellLook{QStringLiteral("первая\nвторая"), int(Qt::AlignLeft | Qt::AlignTop)} << true;
        QTest::newRow("two lines bottom") << CellLook{QStringLiteral("первая\nвторая"), int(Qt::AlignRight | Qt::AlignBottom)} << true;
        QTest::newRow("long top") << CellLook{longName, int(Qt::AlignLeft | Qt::AlignTop)} << true;
        QTest::newRow("long bottom") << CellLook{longName, int(Qt::AlignLeft | Qt::AlignBottom)} << true;
        QTest::newRow("one long word") << CellLook{QStringLiteral("Кронштейн-оцинкованный-КР-100"), left} << true;
        CellLook unwrapped{longName, left};
        unwrapped.wordWrap = false;
        QTest::newRow("unwrapped elided") << unwrapped << true;
        unwrapped.alignment = right;
        QTest::newRow("unwrapped elided right") << unwrapped << true;
        unwrapped.text = QStringLiteral("первая\nвторая");
        QTest::newRow("unwrapped two lines") << unwrapped << true;
        QTest::newRow("eliding alternatives") << CellLook{QStringLiteral("длинный вариант\x9c") + QStringLiteral("кор"), left} << false;
    }

    void drawsAsTheStyle()
    {
        QFETCH(CellLook, look);
        QFETCH(bool, ownDrawing);
        showCell(look);
        GridCellDelegate grid;
        QStyledItemDelegate plain;
        compareDelegates(&grid, &plain, QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
        const bool hasText = !look.text.toString().isEmpty();
        // The cell was drawn here (its text is in the cache), or left to the style.
        QCOMPARE(GridCellDelegate::cachedTexts(), ownDrawing && hasText ? 1 : 0);
    }

    // What the cell's state adds is really drawn: the comparisons above would not see
    // a state that neither delegate was given.
    void statesShow()
    {
        GridCellDelegate grid;
        CellLook plain{QStringLiteral("ПР-20")};
        showCell(plain);
        const QImage unmarked = drawnWith(&grid);
        CellLook focused = plain;
        focused.focused = true;
        showCell(focused);
        QVERIFY(view->hasFocus());
        QVERIFY(drawnWith(&grid) != unmarked);
        CellLook selected = plain;
        selected.selected = true;
        showCell(selected);
        QVERIFY(drawnWith(&grid) != unmarked);
    }

    void cellsWithMoreAreLeftToTheStyle_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("decoration") << int(Qt::DecorationRole) << QVariant(QColor(0, 0, 255));
        QTest::newRow("check state") << int(Qt::CheckStateRole) << QVariant(int(Qt::Checked));
    }

    void cellsWithMoreAreLeftToTheStyle()
    {
        QFETCH(int, role);
        QFETCH(QVariant, value);
        showCell(CellLook{QStringLiteral("Петров П.П.")});
        model.item(kRow, kColumn)->setData(value, role);
        GridCellDelegate grid;
        QStyledItemDelegate plain;
        compareDelegates(&grid, &plain, QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
        QCOMPARE(GridCellDelegate::cachedTexts(), 0);
    }

    // A subclass that colours and emboldens in initStyleOption, as the journal's "OK"
    // column does, is drawn with its colours and font.
    void subclassLook_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("selected");
        QTest::newRow("accepted") << QStringLiteral("ok") << false;
        QTest::newRow("not accepted") << QStringLiteral("no") << false;
        QTest::newRow("accepted selected") << QStringLiteral("ok") << true;
        QTest::newRow("not accepted selected") << QStringLiteral("no") << true;
    }

    void subclassLook()
    {
        QFETCH(QString, text);
        QFETCH(bool, selected);
        CellLook look{text, int(Qt::AlignCenter)};
        look.selected = selected;
        showCell(look);
        AcceptanceLook<GridCellDelegate> grid;
        AcceptanceLook<QStyledItemDelegate> plain;
        compareDelegates(&grid, &plain, QStringLiteral("subclass-") + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
        QCOMPARE(GridCellDelegate::cachedTexts(), 1);
        // The subclass's colour and font, not the palette's and the model's.
        GridCellDelegate unstyled;
        QVERIFY(drawnWith(&grid) != drawnWith(&unstyled));
    }

    // The same cell with a new value shows the new value, not a kept drawing of the old.
    void newValueNewPixels()
    {
        GridCellDelegate grid;
        QStyledItemDelegate plain;
        showCell(CellLook{QStringLiteral("Иванов И.И.")});
        const QImage before = drawnWith(&grid);
        model.item(kRow, kColumn)->setText(QStringLiteral("Сидоров С.С."));
        const QImage after = drawnWith(&grid);
        QVERIFY(after != before);
        QCOMPARE(differingPixels(after, drawnWith(&plain)), 0);
        // And back: the first text's drawing again, from the cache.
        model.item(kRow, kColumn)->setText(QStringLiteral("Иванов И.И."));
        QCOMPARE(differingPixels(drawnWith(&grid), before), 0);
        QCOMPARE(GridCellDelegate::cachedTexts(), 2);
    }

    // The same text in a bold font or in a narrower column is laid out for that font and
    // width, not taken from the other's.
    void fontAndWidthAreTheirOwn()
    {
        GridCellDelegate grid;
        QStyledItemDelegate plain;
        const QString name = QStringLiteral("Кронштейн оцинкованный КР-100");
        for (const CellLook& look : {CellLook{name, int(Qt::AlignRight | Qt::AlignVCenter), false, {}, {}, false, false, 300},
                                     CellLook{name, int(Qt::AlignRight | Qt::AlignVCenter), true, {}, {}, false, false, 300},
                                     CellLook{name, int(Qt::AlignRight | Qt::AlignVCenter), false, {}, {}, false, false, 90}}) {
            showCell(look);
            QCOMPARE(differingPixels(drawnWith(&grid), drawnWith(&plain)), 0);
        }
        QCOMPARE(GridCellDelegate::cachedTexts(), 3);
    }

    // The cache keeps no more than it may; what fell out is laid out again when drawn.
    void cacheIsBounded()
    {
        const int capacity = GridCellDelegate::textCacheCapacity();
        GridCellDelegate::setTextCacheCapacity(5);
        GridCellDelegate grid;
        QStyledItemDelegate plain;
        for (int i = 0; i < 12; ++i) {
            showCell(CellLook{QStringLiteral("Рабочий %1").arg(i)});
            drawnWith(&grid);
            QVERIFY(GridCellDelegate::cachedTexts() <= 5);
        }
        showCell(CellLook{QStringLiteral("Рабочий 0")});
        QCOMPARE(differingPixels(drawnWith(&grid), drawnWith(&plain)), 0);
        // With no cache at all every text is laid out on each paint, and drawn the same.
        GridCellDelegate::setTextCacheCapacity(0);
        QCOMPARE(GridCellDelegate::cachedTexts(), 0);
        showCell(CellLook{QStringLiteral("Кронштейн оцинкованный КР-100, длинное имя изделия"), int(Qt::AlignRight | Qt::AlignVCenter)});
        QCOMPARE(differingPixels(drawnWith(&grid), drawnWith(&plain)), 0);
        QCOMPARE(GridCellDelegate::cachedTexts(), 0);
        GridCellDelegate::setTextCacheCapacity(capacity);
    }

    // A grid over a dataset of the real server: bindGrid draws it with the grid delegate,
    // as the style would, and leaves a view's own delegate alone.
    void boundGrids()
    {
        TestDatabase db(QStringLiteral("gridcell"));
        Plant::kind(db, QStringLiteral("Гибка"));
        Plant::kind(db, QStringLiteral("Покраска порошковая в два слоя с сушкой"));
        Plant::kind(db, QStringLiteral("Резка"));
        Dataset* kinds = db.dm()->Vid_oper;
        kinds->open();
        QCOMPARE(kinds->recordCount(), 3);

        QTableView grid;
        grid.resize(300, 140);
        bindGrid(&grid, kinds, {{QStringLiteral("vid"), QStringLiteral("Операции"), 160}});
        QAbstractItemDelegate* installed = grid.itemDelegate();
        QVERIFY(qobject_cast<GridCellDelegate*>(installed));
        // Bound again (the journal binds each shift it shows): the same delegate stays.
        bindGrid(&grid, kinds, {{QStringLiteral("vid"), QStringLiteral("Операции"), 160}});
        QCOMPARE(grid.itemDelegate(), installed);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        const QImage mine = grid.grab().toImage();
        QVERIFY(GridCellDelegate::cachedTexts() >= 3);
        QStyledItemDelegate plain;
        grid.setItemDelegate(&plain);
        QCOMPARE(differingPixels(mine, grid.grab().toImage()), 0);
        grid.setItemDelegate(installed);

        QTableView own;
        auto* ownDelegate = new AcceptanceLook<QStyledItemDelegate>(&own);
        own.setItemDelegate(ownDelegate);
        bindGrid(&own, kinds, {{QStringLiteral("vid"), QStringLiteral("Операции")}});
        QCOMPARE(own.itemDelegate(), ownDelegate);
    }

    // The timesheet's cells of a month of the real server: silver zeros, bold eights,
    // green long days, red weekends, blank days past the month's end, the total's
    // background, a selected and focused cell: as the style draws them with the
    // timesheet's look.
    void timesheetCells()
    {
        TestDatabase db(QStringLiteral("gridsheet"));
        const int ivanov = Plant::worker(db, QStringLiteral("Иванов И.И."));
        const int petrov = Plant::worker(db, QStringLiteral("Петров Пётр Петрович, наладчик"));
        // February 2026: 28 days, the 1st a Sunday.
        db.exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d1, d2, d3, d7, d9, d28) "
                               "values (%1, 1, 2, 2026, 8, 11, 0, 4, 8, 12), (%2, 1, 2, 2026, 0, 8, 8, 8, 9, 0)")
                    .arg(ivanov).arg(petrov));
        Dataset* sheet = db.dm()->hTabelForShift(1);
        sheet->setParam(QStringLiteral("mnth"), 2);
        sheet->setParam(QStringLiteral("yea"), 2026);
        sheet->open();
        QCOMPARE(sheet->recordCount(), 2);

        QTableView grid;
        auto* model = new TimesheetModel(sheet, &grid);
        model->setMonth(QDate(2026, 2, 1));
        grid.setModel(model);
        grid.verticalHeader()->setVisible(false);
        grid.verticalHeader()->setDefaultSectionSize(grid.fontMetrics().height() + 6);
        for (int column = 0; column < model->columnCount(); ++column)
            grid.setColumnWidth(column, model->columns()[column].width);
        grid.resize(900, 120);
        grid.show();
        grid.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&grid));
        grid.setCurrentIndex(model->index(1, 5));
        grid.setFocus();

        Exposed<TimesheetCellDelegate> cells;
        StyleDrawn<TimesheetCellDelegate> styled(cells);
        grid.setItemDelegate(&cells);
        const QImage mine = grid.grab().toImage();
        QVERIFY(GridCellDelegate::cachedTexts() > 0);
        grid.setItemDelegate(&styled);
        const QImage styles = grid.grab().toImage();
        grid.setItemDelegate(&resting);
        QCOMPARE(differingPixels(mine, styles), 0);
        // And the look is the timesheet's, not the plain grid's.
        GridCellDelegate plain;
        grid.setItemDelegate(&plain);
        QVERIFY(grid.grab().toImage() != mine);
        grid.setItemDelegate(&resting);
    }
};

QTEST_MAIN(GridCellDelegateTest)
#include "tst_gridcelldelegate.moc"
