#pragma once
#include "support/testdb.h"

#include <QDate>
#include <QString>

// Small plant data for tests: each call inserts one row and returns its key.
namespace Plant {

// A worker of the client's directory (listed in the shared person directory under the
// same id, with that id as its code).
int worker(const TestDatabase& db, const QString& fio);
// A person of the shared directory only, with its own code.
int person(const TestDatabase& db, int id, const QString& caption, const QString& code);
int kind(const TestDatabase& db, const QString& vid);
qint64 product(const TestDatabase& db, const QString& marka, const QString& nom = QString(), double massa = 1);
// An operation with one norm row at the given price.
int operation(const TestDatabase& db, qint64 productId, int kindId, int naimen, double price);

struct Entry {
    int w_id = 0;
    qint64 i_id = 0;
    int o_id = 0;
    QDate data;
    int smena = 1;
    int kol_vo = 10;
    int brak = 0;
    double cena = 10;
    int color = 0;
    int time = 8;
    QString ok = QStringLiteral("no");   // empty: NULL
};
int entry(const TestDatabase& db, const Entry& e);

}
