#pragma once
#include <QString>
#include <QVector>

// The seven tables of the legacy import: where each comes from, where it goes and how
// each column travels.
namespace ImportSteps {

// How a value travels from the old database to the new one.
enum class Form {
    Integer,   // a whole number; empty arrives as 0
    Float,     // a floating-point number; empty arrives as 0
    Text,      // text, converted by the target to its column's type; empty stays empty
};

struct Column {
    QString name;       // the target column; the source column has the same name in any letter case
    Form form;
    QString cast;       // for text into a column that is not text: the target's type
    QString source;     // the source column, where its name differs from the target's
    QString sourceName() const { return source.isEmpty() ? name : source; }
};

// Where the source table is read.
enum class Origin {
    Legacy,   // the old database, data source "Tabel"
    Main,     // the program's own connection
};

struct Step {
    QString sourceTable;     // as the old database spells it; also the progress text's name
    Origin origin;
    bool sortedById;
    QString target;          // schema-qualified
    QVector<Column> columns;
    // The table whose id generator hands out this target's new ids (empty: none).
    QString generatorOf;
    // Whether the step keeps the target's references checked while it writes.
    bool checksReferences;
};

// The steps in the order they run.
const QVector<Step>& all();

}
