// Times the painting of a grid alone: a journal-like table of 30 visible rows by 12
// columns repainted, drawn by QStyledItemDelegate, by GridCellDelegate without its text
// cache (each text laid out once per paint), and by GridCellDelegate with the cache.
// Two kinds of repaint: the same rows again, and new rows on every repaint taken from a
// plant's pools of values (250 workers, 120 products, 14 operations, random numbers), as
// when a date is chosen. No database. Prints the processor time per repaint, the median
// of several rounds, and the peak memory.
//
//   bench_gridpaint [repaints per round] [1, 2 or 3: that one of the three alone]
#include "ui/datasetgrid.h"
#include "ui/gridcelldelegate.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QTableView>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace {

// Processor time of this process: the machine may be busy with other work.
double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

long peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

constexpr int kRows = 30;
constexpr int kColumns = 12;

// Texts as the journal shows them, from the pools of a plant.
class JournalLikeModel : public QAbstractTableModel {
public:
    JournalLikeModel()
    {
        static const char* surnames[] = {"Иванов", "Петров", "Сидоров", "Кузнецов", "Смирнов", "Попов", "Васильев",
                                         "Соколов", "Михайлов", "Новиков", "Фёдоров", "Морозов", "Волков"};
        for (int i = 0; i < 250; ++i)
            workers_ << QStringLiteral("%1 %2.%3.").arg(QString::fromUtf8(surnames[i % 13]))
                            .arg(QChar(u'А' + i % 29)).arg(QChar(u'А' + i / 29));
        for (int i = 0; i < 120; ++i)
            products_ << QStringLiteral("КР-%1 кронштейн оцинкованный").arg(100 + i * 5);
        static const char* kinds[] = {"Гибка", "Резка", "Покраска", "Сверловка", "Сварка", "Упаковка", "Рубка",
                                      "Штамповка", "Зачистка", "Клёпка", "Сборка", "Правка", "Навивка", "Отбортовка"};
        for (const char* kind : kinds)
            kinds_ << QString::fromUtf8(kind);
        fill();
    }

    // New rows, as another date brings.
    void fill()
    {
        beginResetModel();
        QRandomGenerator* random = QRandomGenerator::global();
        cells_.clear();
        for (int row = 0; row < kRows; ++row) {
            const int quantity = random->bounded(1, 400);
            const double price = random->bounded(1, 2000) / 100.0;
            cells_ << QStringList{QString::number(row + 1),
                                  workers_[random->bounded(workers_.size())],
                                  products_[random->bounded(products_.size())],
                                  kinds_[random->bounded(kinds_.size())],
                                  QString::number(quantity),
                                  QString::number(random->bounded(0, 3)),
                                  QLocale().toString(price, 'f', 2),
                                  QLocale().toString(quantity * price, 'f', 2),
                                  QStringLiteral("RAL %1").arg(9000 + random->bounded(20)),
                                  QString::number(8 + random->bounded(0, 4)),
                                  QStringLiteral("15.06.2023"),
                                  random->bounded(2) ? QStringLiteral("ok") : QStringLiteral("no")};
        }
        endResetModel();
    }

    int rowCount(const QModelIndex& = {}) const override { return kRows; }
    int columnCount(const QModelIndex& = {}) const override { return kColumns; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole)
            return cells_[index.row()][index.column()];
        if (role == Qt::TextAlignmentRole) {
            const int column = index.column();
            if (column == 0 || column >= 4)
                return int(column == 11 || column == 10 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        }
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return QStringLiteral("Столбец %1").arg(section + 1);
        return orientation == Qt::Horizontal ? gridTitleLook(role) : QVariant();
    }

private:
    QStringList workers_, products_, kinds_;
    QVector<QStringList> cells_;
};

struct Painter {
    const char* name;
    QAbstractItemDelegate* delegate;
    int cacheCapacity;
};

}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int repaints = argc > 1 ? std::atoi(argv[1]) : 200;
    const int rounds = 5;
    const int only = argc > 2 ? std::atoi(argv[2]) : 0;

    JournalLikeModel model;
    QTableView view;
    view.setModel(&model);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.verticalHeader()->setDefaultSectionSize(view.fontMetrics().height() + 6);
    view.verticalHeader()->setVisible(false);
    view.setAlternatingRowColors(true);
    const int widths[kColumns] = {40, 130, 190, 90, 60, 50, 70, 90, 80, 50, 80, 40};
    int total = 0;
    for (int column = 0; column < kColumns; ++column) {
        view.setColumnWidth(column, widths[column]);
        total += widths[column];
    }
    view.resize(total + 30, view.horizontalHeader()->sizeHint().height() + kRows * view.verticalHeader()->defaultSectionSize() + 30);
    view.show();
    view.selectRow(3);
    QCoreApplication::processEvents();

    const int defaultCapacity = GridCellDelegate::textCacheCapacity();
    QStyledItemDelegate styled;
    GridCellDelegate grid;
    const Painter painters[] = {{"QStyledItemDelegate", &styled, defaultCapacity},
                                {"GridCellDelegate, no cache", &grid, 0},
                                {"GridCellDelegate, cache", &grid, defaultCapacity}};

    std::printf("| Repaint of a 30 x 12 grid | same rows, ms | new rows, ms |\n|---|---|---|\n");
    for (const Painter& painter : painters) {
        if (only && &painter != &painters[only - 1])
            continue;
        view.setItemDelegate(painter.delegate);
        GridCellDelegate::clearTextCache();
        GridCellDelegate::setTextCacheCapacity(painter.cacheCapacity);
        double perRepaint[2] = {};
        for (int newRows = 0; newRows < 2; ++newRows) {
            std::vector<double> times;
            for (int round = 0; round < rounds; ++round) {
                double cpu = 0;
                for (int i = 0; i < repaints; ++i) {
                    if (newRows)
                        model.fill();
                    QCoreApplication::processEvents();
                    const double start = cpuMs();
                    view.viewport()->repaint();
                    cpu += cpuMs() - start;
                }
                times.push_back(cpu / repaints);
            }
            perRepaint[newRows] = median(times);
        }
        std::printf("| %s | %.3f | %.3f |\n", painter.name, perRepaint[0], perRepaint[1]);
    }
    std::printf("\ntexts in the cache: %d of %d; peak memory %ld MB\n", GridCellDelegate::cachedTexts(),
                GridCellDelegate::textCacheCapacity(), peakMb());
    return 0;
}
