#pragma once
// A small plant for the summary-report tests: three persons, three products, five
// operations, and journal entries of March 2024 with one entry on each side of it.
#include "support/plantfixture.h"

#include <QDate>

namespace reportplant {

struct Plant {
    int ivanov = 0, petrov = 0;
    int abramov = 4711;   // known to the shared directory by its code only
    qint64 bracket = 0, profile = 0, slide = 0;
    int bend = 0, cut = 0, paint = 0, profileCut = 0, slideBend = 0;
};

inline const QDate kMarch{2024, 3, 1};
inline const QDate kApril{2024, 4, 1};

inline void entry(const TestDatabase& db, int w, qint64 product, int operation, QDate day, int made, int defects,
                  double price, int colour = 0)
{
    ::Plant::Entry e;
    e.w_id = w; e.i_id = product; e.o_id = operation; e.data = day;
    e.kol_vo = made; e.brak = defects; e.cena = price; e.color = colour;
    ::Plant::entry(db, e);
}

// Directories only.
inline Plant loadDirectories(const TestDatabase& db)
{
    Plant p;
    p.ivanov = ::Plant::worker(db, QStringLiteral("Иванов И.И."));
    p.petrov = ::Plant::worker(db, QStringLiteral("Петров П.П."));
    ::Plant::person(db, 900001, QStringLiteral("Абрамов А.А."), QString::number(p.abramov));
    p.bracket = ::Plant::product(db, QStringLiteral("КР-100"), QStringLiteral("Кронштейн КР-100"), 0.25);
    p.profile = ::Plant::product(db, QStringLiteral("ПР-20"), QStringLiteral("Профиль ПР-20"), 1.5);
    p.slide = ::Plant::product(db, QStringLiteral("СК-5"), QStringLiteral("Салазка СК-5"), 0.1);
    const int bending = ::Plant::kind(db, QStringLiteral("Гибка"));
    const int cutting = ::Plant::kind(db, QStringLiteral("Резка"));
    const int painting = ::Plant::kind(db, QStringLiteral("Покраска КРАСКА"));
    p.bend = ::Plant::operation(db, p.bracket, bending, 0, 10);
    p.cut = ::Plant::operation(db, p.bracket, cutting, 0, 5);
    p.paint = ::Plant::operation(db, p.bracket, painting, 0, 3);
    p.profileCut = ::Plant::operation(db, p.profile, cutting, 1, 2);
    p.slideBend = ::Plant::operation(db, p.slide, bending, 1, 1.5);
    return p;
}

// The journal of March 2024 (good pieces, pay):
//   Иванов  КР-100 Гибка     10-1 on 1.3 and 5 on 31.3   14   140
//           КР-100 Резка     20-2                        18    90
//           КР-100 Покраска  4, colour 1013               4    12
//           ПР-20  Резка     7 (blank)                    7    14
//   Петров  КР-100 Покраска  6, colour 1 (primer)         6    18
//           СК-5   Гибка     3 (blank)                    3     4.5
//   Абрамов КР-100 Гибка     2                            2    20
// and КР-100 Гибка of Иванов on 29.2 and on 1.4, outside the month.
inline void loadMarch(const TestDatabase& db, const Plant& p)
{
    entry(db, p.ivanov, p.bracket, p.bend, QDate(2024, 3, 1), 10, 1, 10);
    entry(db, p.ivanov, p.bracket, p.bend, QDate(2024, 3, 31), 5, 0, 10);
    entry(db, p.ivanov, p.bracket, p.cut, QDate(2024, 3, 2), 20, 2, 5);
    entry(db, p.ivanov, p.bracket, p.paint, QDate(2024, 3, 4), 4, 0, 3, 1013);
    entry(db, p.ivanov, p.profile, p.profileCut, QDate(2024, 3, 5), 7, 0, 2);
    entry(db, p.petrov, p.bracket, p.paint, QDate(2024, 3, 6), 6, 0, 3, 1);
    entry(db, p.petrov, p.slide, p.slideBend, QDate(2024, 3, 7), 3, 0, 1.5);
    entry(db, p.abramov, p.bracket, p.bend, QDate(2024, 3, 8), 2, 0, 10);
    entry(db, p.ivanov, p.bracket, p.bend, QDate(2024, 2, 29), 100, 0, 10);
    entry(db, p.ivanov, p.bracket, p.bend, kApril, 1000, 0, 10);
}

}
