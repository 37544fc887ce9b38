#include "directories/operationsstore.h"

#include "db/datamodule.h"
#include "db/dberror.h"
#include "export/spreadsheet.h"
#include "ui/numbertext.h"

#include <QLocale>

namespace {

const QString kDuplicateMessage = QStringLiteral("Операция с такими параметрами уже заведена!");

QString whereKey(const OperationsStore::Key& key)
{
    return QStringLiteral(" where vid=%1 and naimen=%2 and i_id=%3").arg(key.kindId).arg(key.naimen).arg(key.productId);
}

const char* const kPriceListSql =
    "select izdel.MARKA, vid_oper.VID, oper.NAIMEN, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn,\n"
    "oper.cena_new::numeric cena, oper.id, oper.i_id, oper.VID as oper_vid\n"
    "from accounts_dep.OPER,accounts_dep.IZDEL,accounts_dep.VID_OPER where OPER.i_id=IZDEL.id and oper.vid=vid_oper.id\n"
    "order by izdel.marka, vid_oper.vid, oper.naimen";

}

OperationsStore::OperationsStore(DataModule* dm)
    : dm_(dm), xlsRep_(new Dataset(QStringLiteral("XLS_Rep"), dm->connectionName(), dm))
{
    xlsRep_->setSql(QString::fromUtf8(kPriceListSql));
}

bool OperationsStore::existsOnAdd(const Key& key)
{
    return dm_->CheckExists(QStringLiteral("select count(ID) as cnt from accounts_dep.OPER") + whereKey(key),
                            kDuplicateMessage);
}

bool OperationsStore::existsOnChange(const Key& key, int operationId)
{
    return dm_->CheckExists(QStringLiteral("select count(*) as cnt from accounts_dep.OPER") + whereKey(key)
                                + QStringLiteral(" and id<>%1").arg(operationId),
                            kDuplicateMessage);
}

int OperationsStore::add(const Key& key)
{
    dm_->Oper_ins->setText(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values (%1, %2, %3, 0)")
                               .arg(key.kindId)
                               .arg(key.naimen)
                               .arg(key.productId));
    dm_->Oper_ins->execute();
    // The key the insert has just drawn on this connection, whatever other workstations do.
    const SqlRun::Result drawn =
        dm_->select(QStringLiteral("select currval(pg_get_serial_sequence('accounts_dep.oper', 'id')) as id"));
    const int id = drawn.rows.value(0).value(QStringLiteral("id")).toInt();
    try {
        dm_->execute(QStringLiteral("insert into accounts_dep.norm(o_id, price) values (:o_id, :price)"),
                     {{QStringLiteral("o_id"), id}, {QStringLiteral("price"), 0.0}});
    } catch (const DbError&) {
        dm_->execute(QStringLiteral("delete from accounts_dep.oper where id=%1").arg(id));
        throw;
    }
    return id;
}

int OperationsStore::change(int operationId, const Key& key)
{
    dm_->Oper_ed->setText(QStringLiteral("update accounts_dep.oper set vid=%1, naimen=%2,  i_id=%3 where id=%4")
                              .arg(key.kindId)
                              .arg(key.naimen)
                              .arg(key.productId)
                              .arg(operationId));
    return dm_->Oper_ed->execute();
}

int OperationsStore::remove(int operationId)
{
    dm_->Oper_del->setParam(QStringLiteral("id"), operationId);
    return dm_->Oper_del->execute();
}

QString OperationsStore::priceText(double price)
{
    return NumberText::plain(price);
}

QString OperationsStore::naimenText(int naimen)
{
    return naimen == 0 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}

bool OperationsStore::exportPriceList(Spreadsheet& excel)
{
    xlsRep_->reopen();
    if (excel.OpenWorkbook(QString()) == -1) {
        xlsRep_->close();
        return false;
    }
    excel.setTitle(QStringLiteral("Прайс-лист"));
    excel.WriteCell(1, 1, 1, QStringLiteral("Марка"));
    excel.WriteCell(1, 2, 1, QStringLiteral("Операция"));
    excel.WriteCell(1, 3, 1, QStringLiteral("Цена"));
    excel.WriteCell(1, 4, 1, QStringLiteral("Вид"));
    for (int i = 0; i < xlsRep_->recordCount(); ++i) {
        const int row = i + 2;
        excel.WriteCell(1, 1, row, xlsRep_->valueAt(i, QStringLiteral("MARKA")).toString().trimmed());
        excel.WriteCell(1, 2, row, xlsRep_->valueAt(i, QStringLiteral("VID")).toString().trimmed());
        excel.WriteCell(1, 3, row, priceText(xlsRep_->valueAt(i, QStringLiteral("cena")).toDouble()));
        excel.WriteCell(1, 4, row, naimenText(xlsRep_->valueAt(i, QStringLiteral("NAIMEN")).toInt()));
    }
    excel.ShowExcel(true);
    xlsRep_->close();
    return true;
}
