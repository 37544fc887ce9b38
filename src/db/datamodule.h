#pragma once
#include "db/command.h"
#include "db/dataset.h"
#include "db/sqlrun.h"

#include <QObject>
#include <QString>
#include <functional>

// The data module: the one database connection and the datasets and commands that
// several windows share. Windows with statements of their own run them on this
// connection through select()/execute() or a Command of their own.
class DataModule : public QObject {
    Q_OBJECT
public:
    explicit DataModule(QObject* parent = nullptr);
    ~DataModule() override;

    // The application's data module (the last one created).
    static DataModule* instance();

    // Disconnects, then connects with the given ODBC connection string.
    // Returns false and keeps the driver's message in lastError() when it fails.
    // A connection lost later is opened again before the next statement once the
    // server answers (see SqlRun); reconnected() follows.
    bool connectTo(const QString& connectionString);
    bool isConnected() const;
    // The connection broke and has not been opened again yet.
    bool isConnectionBroken() const;
    // Reads again every shared list that a window opened but could not read (the
    // scratch query Control aside). Throws DbError.
    void reopenUnread();
    // How long the connection may stay idle before a statement probes it first.
    void setProbeAfterIdle(int milliseconds);
    QString lastError() const { return lastError_; }
    // The name the server records beside every change this connection makes
    // (application_name); given to the connection again whenever it is opened anew.
    void setApplicationName(const QString& name);
    QString connectionName() const { return connectionName_; }
    // The string of the last successful connectTo().
    QString connectionString() const { return connectionString_; }

    // Statements of the callers' own, on the shared connection.
    SqlRun::Result select(const QString& sql, const SqlRun::Params& params = {}) const;
    // The same, its rows held compactly (no record per row), for long reads.
    SqlRun::Table selectTable(const QString& sql, const SqlRun::Params& params = {}) const;
    int execute(const QString& sql, const SqlRun::Params& params = {}) const;

    // The editors' duplicate guard: runs a count statement with the column "cnt"; when
    // the count is above 0 shows the message (caption "Ошибка") and answers true.
    bool CheckExists(const QString& sql, const QString& message);
    // The same with values for the statement's named parameters (texts a user typed are
    // bound, never written into the statement).
    bool CheckExists(const QString& sql, const QString& message, const SqlRun::Params& params);
    // How CheckExists shows its message: the message service (ui/messages) tells it when
    // the program starts, so the data layer shows a box without knowing the windows.
    using MessageShown = std::function<void(const QString& text, const QString& caption)>;
    static void setMessageShown(MessageShown show);

    // The shift journal of a shift: 2, 3, 4 give Smena2..Smena4, anything else Smena1.
    Dataset* smenaForShift(int shift) const;
    // The timesheet of shift 1..3 (no timesheet query exists for shift 4).
    Dataset* hTabelForShift(int shift) const;

    Dataset* Workers;
    Dataset* Control;
    Dataset* Izdel;
    Dataset* Oper;
    Dataset* Vid_oper;
    Dataset* Smena1;
    Dataset* Smena2;
    Dataset* Smena3;
    Dataset* Smena4;
    Dataset* H_Tabel_1;
    Dataset* H_Tabel_2;
    Dataset* H_Tabel_3;

    Command* DelSmena;
    Command* H_Tabel_ins;
    Command* Oper_ins;
    Command* Oper_ed;
    Command* Oper_del;
    Command* SQL_exec;

    // The text of accounts_dep.ver.delim as of the last version-gate run.
    QString Delim;

signals:
    // The connection was opened again after a loss; emitted from the event loop after
    // the statement that re-opened it. Lists that were open should be read again.
    void reconnected();

private:
    static MessageShown& messageShown();
    Dataset* makeDataset(const QString& name, const QString& sql = {});
    Command* makeCommand(const QString& name, const QString& text = {});

    QString connectionName_;
    QString connectionString_;
    QString lastError_;
    QString applicationName_;
};
