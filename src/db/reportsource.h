#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>

class DataModule;

// Where the reports and the history read: a hot standby on a second, read-only connection,
// so that a year's report takes no processor time from the saves on the primary; the
// data module's own connection when no standby is set up, or when the standby is away,
// no longer a standby, or more than a minute behind the primary. Writes never go there:
// the connection is made to a standby only and its sessions refuse writes.
class ReportSource : public QObject {
    Q_OBJECT
public:
    // How far behind the primary the standby may be.
    static constexpr int kMaxLagSeconds = 60;
    void setMaxLagSeconds(int seconds) { maxLagSeconds_ = seconds; }
    // After the standby could not be reached, how long the reports read on the primary
    // before it is tried again (a dead machine costs the connection's whole timeout).
    static constexpr int kRetryAfterMs = 60 * 1000;

    // The data module's source (made on first use, owned by the data module).
    static ReportSource* of(DataModule& dm);

    // The reports' connection string with the sign-in account (the account the data
    // module's connection has is put in its place); empty: the reports read on the
    // data module's connection.
    void setServer(const QString& connectionString);
    QString server() const { return server_; }

    struct Choice {
        QString connectionName;   // where to read
        bool standby = false;     // on the standby
        QString note;             // for the window's status line; empty without a standby
    };
    // Checks the standby now and says where to read. Throws DbError only when the data
    // module's connection itself fails.
    Choice choose();
    // Reads through read() where choose() says; when the standby goes away in the middle,
    // reads again on the data module's connection (reading twice changes nothing).
    // Returns where the rows came from.
    Choice read(const std::function<void(const QString& connectionName)>& read);

    // The status line's texts.
    static const QString kOnStandby;
    static const QString kStandbyAway;
    static const QString kStandbyBehind;

private:
    explicit ReportSource(DataModule& dm);
    ~ReportSource() override;
    Choice onPrimary(const QString& note) const;

    DataModule& dm_;
    QString connectionName_;
    QString server_;
    QString opened_;              // the string the connection was opened with
    QElapsedTimer failedAt_;      // the last time the standby could not be reached
    int maxLagSeconds_ = kMaxLagSeconds;
};
