#pragma once
#include <QMap>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <string>

// One statement prepared on an open QODBC connection through the ODBC API itself, to be
// run again and again. QSqlQuery asks the driver, on every run, for the base table of
// each column, which makes the PostgreSQL driver parse the statement's text each time,
// and then reads the rows a driver call and a field lookup per value; a journal of a few
// hundred rows spent most of its time there. Here a select's rows come in blocks, each
// column bound to a buffer of its C type, and the values come out as QSqlQuery would
// give them: the same types, typed nulls, whole texts however long.
//
// Parameters are named in the text as ":name" and bound with the types QODBC would give
// them. Nothing here throws: a refusal leaves sqlState() and errorText() set.
class OdbcStatement {
public:
    using Params = QMap<QString, QVariant>;
    // Prepared: the server parses and plans the text once, and each execute() runs it.
    // Direct: each execute() sends the text whole with its values, which costs one round
    // trip instead of a preparation's two.
    enum class Mode { Prepared, Direct };

    // Makes the statement on the connection's ODBC handle (SQLHDBC); a prepared one is
    // prepared at once.
    OdbcStatement(void* connectionHandle, const QString& sql, Mode mode = Mode::Prepared);
    ~OdbcStatement();
    // Lets go of the handle without freeing it: its connection is gone already, and the
    // driver manager freed the statement with it.
    void abandon() { statement_ = nullptr; }
    OdbcStatement(const OdbcStatement&) = delete;
    OdbcStatement& operator=(const OdbcStatement&) = delete;

    bool isPrepared() const { return prepared_; }
    bool isDirect() const { return direct_; }
    bool execute(const Params& params);
    // The columns of the last run's result; empty for a statement without one.
    QSqlRecord fields();
    // Every row of the last run's result; false with the driver's words when a block
    // cannot be read. The cursor is closed afterwards either way.
    // Values are appended row after row, fields.count() to a row.
    bool fetchAll(const QSqlRecord& fields, QVector<QVariant>* values);
    // Rows changed by the last run of a writing statement.
    int rowsAffected();
    void closeCursor();

    QString sqlState() const { return sqlState_; }
    QString errorText() const { return errorText_; }

    // Binds the values of the named parameters, in the order of the names, to a statement
    // handle (SQLHSTMT) with the types QODBC would give them. The bound buffers live as
    // long as the answer; an empty answer: the driver refused one (its words are on the
    // handle).
    static std::shared_ptr<void> bindParameters(void* statementHandle, const QStringList& names, const Params& params);

    // The text with its ":name" placeholders turned into "?" and their names in order;
    // quoted texts and names and "::" casts are left alone.
    static QString positional(const QString& sql, QStringList* names);

private:
    bool check(short rc);

    struct Buffers;   // the columns' bound buffers, kept for the next run
    std::unique_ptr<Buffers> buffers_;
    void* statement_ = nullptr;
    bool prepared_ = false;
    bool direct_ = false;
    QSqlRecord fields_;   // a prepared statement's columns, once known
    bool fieldsKnown_ = false;
    std::u16string text_;   // a direct statement's text, "?" for its parameters
    QStringList names_;
    QString sqlState_;
    QString errorText_;
};
