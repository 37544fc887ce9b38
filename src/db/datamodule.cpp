#include "db/datamodule.h"

#include <QPointer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <atomic>
#include <utility>

namespace {

// Gives the open connection its name; the name is the program's own, never typed. A
// failure is left to the next statement, which meets the same connection.
void nameConnection(const QString& connectionName, const QString& name)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (name.isEmpty() || !db.isOpen())
        return;
    QString quoted = name;
    quoted.replace(u'\'', QStringLiteral("''"));
    QSqlQuery(db).exec(QStringLiteral("set application_name = '%1'").arg(quoted));
}

DataModule* g_instance = nullptr;

QString joined(std::initializer_list<const char*> lines)
{
    QStringList list;
    for (const char* line : lines)
        list << QString::fromUtf8(line);
    return list.join(u'\n');
}

const char* const kJournalColumns =
    "select smena.id, smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, ";
const char* const kJournalColumns2 =
    "smena.cena,person.s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN "
    "'Готовая продукция' ELSE 'Заготовки' END)) as nmn, oper.naimen,  smena.brak, smena.kol_vo::numeric,";
const char* const kJournalColumns3 =
    "round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, color,time, smena.ok, vvod, "
    "smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use";
const char* const kJournalFrom =
    "from cmn_contractor.person person, accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper ";
const char* const kJournalJoin =
    "where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and ";

QString journalSql(int shift)
{
    if (shift == 1)
        return joined({kJournalColumns, kJournalColumns2, kJournalColumns3, kJournalFrom, kJournalJoin,
                       "oper.vid=vid_oper.id and smena.smena=1 and smena.data=:data and ok!=:ok order by ",
                       "fio, izdel.marka, vid_oper.vid, oper.naimen, color"});
    const QString where = QStringLiteral("oper.vid=vid_oper.id and smena.smena=%1 and smena.data=:data and ok<>:ok order by fio")
                              .arg(shift);
    return joined({kJournalColumns, kJournalColumns2, kJournalColumns3, kJournalFrom, kJournalJoin})
        + u'\n' + where;
}

QString timesheetSql(int shift)
{
    return joined({"select person.s_caption fio, h_tabel.*,(d1+d2+d3+d4+d5+d6+d7+d8+d9+d10+d11",
                   "+d12+d13+d14+d15+d16+d17+d18+d19+d20+d21+d22+d23+d24+d25",
                   "+d26+d27+d28+d29+d30+d31) as summ from accounts_dep.h_tabel, cmn_contractor.person where "})
        + u'\n'
        + QStringLiteral("h_tabel.w_id=person.s_code::integer and h_tabel.smena=%1 and month=:mnth and ").arg(shift)
        + u'\n' + QStringLiteral("year=:yea order by fio");
}

const char* const kOperSql[] = {
    "select izdel.MARKA, vid_oper.VID, oper.NAIMEN, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn,",
    "count(o_id) norma, min(price)::numeric cena,",
    "oper.id, oper.i_id, oper.VID as oper_vid from accounts_dep.norm,accounts_dep.OPER,accounts_dep.IZDEL,accounts_dep.VID_OPER where OPER.i_id=IZDEL.id and norm.o_id=oper.id",
    "and oper.vid=vid_oper.id group by izdel.MARKA, vid_oper.VID, oper.NAIMEN, oper.id, oper.i_id, oper.VID order by izdel.marka, vid_oper.vid, oper.naimen",
};

}

DataModule::DataModule(QObject* parent) : QObject(parent)
{
    static std::atomic<int> counter{0};
    setObjectName(QStringLiteral("DataModule6"));
    connectionName_ = QStringLiteral("ADO_DB_%1").arg(++counter);

    Workers = makeDataset(QStringLiteral("Workers"), QStringLiteral("select * from accounts_dep.person order by fio"));
    Control = makeDataset(QStringLiteral("Control"));
    Izdel = makeDataset(QStringLiteral("Izdel"),
                        QStringLiteral("select marka, id, nom, massa  from accounts_dep.IZDEL order by marka"));
    Oper = makeDataset(QStringLiteral("Oper"),
                       joined({kOperSql[0], kOperSql[1], kOperSql[2], kOperSql[3]}));
    Vid_oper = makeDataset(QStringLiteral("Vid_oper"), QStringLiteral("select * from accounts_dep.VID_OPER order by vid"));
    Smena1 = makeDataset(QStringLiteral("Smena1"), journalSql(1));
    Smena2 = makeDataset(QStringLiteral("Smena2"), journalSql(2));
    Smena3 = makeDataset(QStringLiteral("Smena3"), journalSql(3));
    Smena4 = makeDataset(QStringLiteral("Smena4"), journalSql(4));
    H_Tabel_1 = makeDataset(QStringLiteral("H_Tabel_1"), timesheetSql(1));
    H_Tabel_2 = makeDataset(QStringLiteral("H_Tabel_2"), timesheetSql(2));
    H_Tabel_3 = makeDataset(QStringLiteral("H_Tabel_3"), timesheetSql(3));

    DelSmena = makeCommand(QStringLiteral("DelSmena"));
    H_Tabel_ins = makeCommand(QStringLiteral("H_Tabel_ins"));
    Oper_ins = makeCommand(QStringLiteral("Oper_ins"));
    Oper_ed = makeCommand(QStringLiteral("Oper_ed"));
    Oper_del = makeCommand(QStringLiteral("Oper_del"), QStringLiteral("delete from accounts_dep.oper where id=:id"));
    SQL_exec = makeCommand(QStringLiteral("SQL_exec"));

    g_instance = this;
}

DataModule::~DataModule()
{
    if (g_instance == this)
        g_instance = nullptr;
    SqlRun::forget(connectionName_);
}

DataModule* DataModule::instance()
{
    return g_instance;
}

void DataModule::setApplicationName(const QString& name)
{
    applicationName_ = name;
    nameConnection(connectionName_, applicationName_);
}

bool DataModule::connectTo(const QString& connectionString)
{
    // After a loss the connection is opened again by itself; the windows hear of it
    // once the statement that found the server back has finished.
    QPointer<DataModule> self(this);
    const auto announce = [self] {
        if (!self)
            return;
        // Before the statement that found the server back runs, so that its change too
        // is recorded under the program's name.
        nameConnection(self->connectionName_, self->applicationName_);
        QMetaObject::invokeMethod(self, &DataModule::reconnected, Qt::QueuedConnection);
    };
    QString error;
    const bool ok = SqlRun::open(connectionName_, connectionString, &error, announce);
    lastError_ = ok ? QString() : error;
    if (ok) {
        connectionString_ = connectionString;
        nameConnection(connectionName_, applicationName_);
    }
    return ok;
}

void DataModule::reopenUnread()
{
    for (Dataset* dataset : findChildren<Dataset*>(QString(), Qt::FindDirectChildrenOnly))
        if (dataset != Control && dataset->isWanted() && !dataset->isOpen())
            dataset->open();
}

void DataModule::setProbeAfterIdle(int milliseconds)
{
    SqlRun::setProbeAfterIdle(connectionName_, milliseconds);
}

bool DataModule::isConnectionBroken() const
{
    return SqlRun::isBroken(connectionName_);
}

bool DataModule::isConnected() const
{
    return QSqlDatabase::database(connectionName_, false).isOpen();
}

SqlRun::Result DataModule::select(const QString& sql, const SqlRun::Params& params) const
{
    return SqlRun::select(connectionName_, sql, params);
}

SqlRun::Table DataModule::selectTable(const QString& sql, const SqlRun::Params& params) const
{
    return SqlRun::selectTable(connectionName_, sql, params);
}

int DataModule::execute(const QString& sql, const SqlRun::Params& params) const
{
    return SqlRun::execute(connectionName_, sql, params);
}

DataModule::MessageShown& DataModule::messageShown()
{
    static MessageShown show;
    return show;
}

void DataModule::setMessageShown(MessageShown show)
{
    messageShown() = std::move(show);
}

bool DataModule::CheckExists(const QString& sql, const QString& message)
{
    return CheckExists(sql, message, {});
}

bool DataModule::CheckExists(const QString& sql, const QString& message, const SqlRun::Params& params)
{
    Control->close();
    Control->setSql(sql);
    Control->setParams(params);
    Control->open();
    const int count = Control->isEmpty() ? 0 : Control->value(QStringLiteral("cnt")).toInt();
    if (count > 0) {
        if (const MessageShown& show = messageShown())
            show(message, QStringLiteral("Ошибка"));
        Control->close();
        return true;
    }
    Control->close();
    return false;
}

Dataset* DataModule::smenaForShift(int shift) const
{
    switch (shift) {
    case 2: return Smena2;
    case 3: return Smena3;
    case 4: return Smena4;
    default: return Smena1;
    }
}

Dataset* DataModule::hTabelForShift(int shift) const
{
    switch (shift) {
    case 2: return H_Tabel_2;
    case 3: return H_Tabel_3;
    default: return H_Tabel_1;
    }
}

Dataset* DataModule::makeDataset(const QString& name, const QString& sql)
{
    auto* dataset = new Dataset(name, connectionName_, this);
    dataset->setSql(sql);
    return dataset;
}

Command* DataModule::makeCommand(const QString& name, const QString& text)
{
    auto* command = new Command(name, connectionName_, this);
    command->setText(text);
    return command;
}
