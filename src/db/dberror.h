#pragma once
#include <QString>
#include <stdexcept>

// A statement the database refused, or a connection that failed. The user sees message():
// a short Russian sentence first, then the server's or the driver's own words as detail.
class DbError : public std::runtime_error {
public:
    enum class Kind {
        Other,
        Connection,        // no connection to the server, or it broke during the statement
        Unique,            // 23505
        ForeignKey,        // 23503
        Check,             // 23514
        NotNull,           // 23502
        Permission,        // 42501
        Raised,            // P0001: a message of the plant's own server code
        Busy,              // 55P03, 40001, 40P01: another workstation held the data
        BadValue,          // class 22
    };

    // A refusal with its SQLSTATE (empty when the driver gave none) and the driver's text.
    DbError(const QString& sqlState, const QString& detail, bool lostConnection = false);
    // A plain message of the client's own, already in Russian.
    explicit DbError(const QString& message);

    Kind kind() const { return kind_; }
    QString sqlState() const { return sqlState_; }
    QString detail() const { return detail_; }
    // The text shown to the user: the Russian sentence and, below it, the detail.
    const QString& message() const { return message_; }

    bool isConnectionLoss() const { return kind_ == Kind::Connection; }
    // The connection broke after a writing statement had been sent: it may or may not
    // have taken effect. Such a statement is never sent again by itself.
    bool outcomeUnknown() const { return outcomeUnknown_; }
    void setOutcomeUnknown();
    // A line of the client's own below the message: what became of the user's action.
    void addNote(const QString& note);

    // The connection whose statement failed (empty for errors of no connection).
    QString connectionName() const { return connectionName_; }
    void setConnectionName(const QString& name) { connectionName_ = name; }

    // The Russian sentence for a kind.
    static QString headline(Kind kind);
    static Kind kindOf(const QString& sqlState);

private:
    void compose();

    Kind kind_ = Kind::Other;
    QString sqlState_;
    QString detail_;
    QString message_;
    QString note_;
    QString ownMessage_;   // the client's own message, when it is one
    QString connectionName_;
    bool outcomeUnknown_ = false;
};
