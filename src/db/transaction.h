#pragma once
#include "db/sqlrun.h"

#include <QString>

// A transaction for the life of the object: committed by commit(), rolled back when
// the object goes away without it (an error thrown out of the work included).
class Transaction {
public:
    explicit Transaction(const QString& connectionName) : connectionName_(connectionName)
    {
        SqlRun::begin(connectionName_);
    }
    ~Transaction()
    {
        if (!ended_)
            SqlRun::rollback(connectionName_);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit()
    {
        ended_ = true;
        SqlRun::commit(connectionName_);
    }

private:
    QString connectionName_;
    bool ended_ = false;
};
