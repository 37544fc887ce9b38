#pragma once
#include <QVariant>
#include <QVector>

class DataModule;

// The norm levels of an operation, table accounts_dep.norm. An empty value is stored as
// NULL: a level without a price does not pull the operation's lowest price down to 0.
class NormsStore {
public:
    explicit NormsStore(DataModule* dm);

    struct Level {
        int id = 0;         // 0: not stored yet
        int operationId = 0;
        QVariant norma;     // int or null
        QVariant price;     // double or null
        QVariant prize;     // int or null
    };

    // The levels of the operation in ascending order of norma.
    QVector<Level> levels(int operationId) const;
    // Stores a new level; answers its id.
    int insert(const Level& level);
    // Answers the number of rows changed (0 when the level is gone).
    int update(const Level& level);
    int remove(int levelId);

private:
    DataModule* dm_;
};
