#include "db/reportsource.h"

#include "db/connectionstring.h"
#include "db/datamodule.h"
#include "db/dberror.h"
#include "db/sqlrun.h"

const QString ReportSource::kOnStandby = QStringLiteral("Данные прочитаны с резервного сервера.");
const QString ReportSource::kStandbyAway =
    QStringLiteral("Резервный сервер недоступен: данные прочитаны с основного сервера.");
const QString ReportSource::kStandbyBehind =
    QStringLiteral("Резервный сервер отстает более чем на минуту: данные прочитаны с основного сервера.");

namespace {

// Where the primary's journal of changes (WAL) stands now.
const char* const kPrimaryPosition = "select pg_current_wal_lsn()::text as lsn";
// Whether the server is still a standby, how many bytes of the primary's position it has
// not yet replayed, and how long ago the last change it replayed was committed. A standby
// behind the primary whose last replayed change is older than the limit lags that much
// at least; one that has replayed everything is current however old its last change.
const char* const kStandbyState =
    "select pg_is_in_recovery() as standby, "
    "coalesce(pg_wal_lsn_diff(cast(:lsn as pg_lsn), pg_last_wal_replay_lsn()), 0)::float8 as behind, "
    "extract(epoch from now() - pg_last_xact_replay_timestamp())::float8 as age";

}

ReportSource::ReportSource(DataModule& dm) : QObject(&dm), dm_(dm)
{
    setObjectName(QStringLiteral("ReportSource"));
    connectionName_ = dm.connectionName() + QStringLiteral("_reports");
}

ReportSource::~ReportSource()
{
    if (!opened_.isEmpty())
        SqlRun::forget(connectionName_);
}

ReportSource* ReportSource::of(DataModule& dm)
{
    if (auto* source = dm.findChild<ReportSource*>(QString(), Qt::FindDirectChildrenOnly))
        return source;
    return new ReportSource(dm);
}

void ReportSource::setServer(const QString& connectionString)
{
    server_ = connectionString;
    failedAt_.invalidate();
}

ReportSource::Choice ReportSource::onPrimary(const QString& note) const
{
    return {dm_.connectionName(), false, note};
}

ReportSource::Choice ReportSource::choose()
{
    if (server_.isEmpty())
        return onPrimary({});
    if (failedAt_.isValid() && failedAt_.elapsed() < kRetryAfterMs)
        return onPrimary(kStandbyAway);
    // The reports read with the rights the workstation signed in with.
    const QString wanted = ConnectionString::withAccount(server_, ConnectionString::accountOf(dm_.connectionString()));
    const SqlRun::Result primary = dm_.select(QString::fromLatin1(kPrimaryPosition));
    const QString position = primary.rows.value(0).value(0).toString();
    try {
        if (opened_ != wanted) {
            QString error;
            opened_ = wanted;
            if (!SqlRun::open(connectionName_, wanted, &error))
                throw DbError(QStringLiteral("08001"), error, true);
        }
        const SqlRun::Result state =
            SqlRun::select(connectionName_, QString::fromLatin1(kStandbyState), {{QStringLiteral("lsn"), position}});
        const QSqlRecord row = state.rows.value(0);
        if (!row.value(0).toBool()) {
            // Promoted while the connection stayed open: the primary is read as the
            // primary, on the data module's connection.
            SqlRun::forget(connectionName_);
            opened_.clear();
            failedAt_.start();
            return onPrimary(kStandbyAway);
        }
        const bool behind = row.value(1).toDouble() > 0;
        if (behind && (row.value(2).isNull() || row.value(2).toDouble() > maxLagSeconds_))
            return onPrimary(kStandbyBehind);
    } catch (const DbError&) {
        failedAt_.start();
        return onPrimary(kStandbyAway);
    }
    failedAt_.invalidate();
    return {connectionName_, true, kOnStandby};
}

ReportSource::Choice ReportSource::read(const std::function<void(const QString& connectionName)>& read)
{
    const Choice choice = choose();
    if (!choice.standby) {
        read(choice.connectionName);
        return choice;
    }
    try {
        read(choice.connectionName);
        return choice;
    } catch (const DbError& e) {
        if (!e.isConnectionLoss() || e.connectionName() != connectionName_)
            throw;
    }
    failedAt_.start();
    const Choice primary = onPrimary(kStandbyAway);
    read(primary.connectionName);
    return primary;
}
