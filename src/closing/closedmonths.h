#pragma once
#include <QDate>
#include <QString>
#include <optional>

class DataModule;

// Closed months, as the server keeps them (accounts_dep.closed_month): a closed month
// refuses every change of its journal entries and timesheet rows on the server, whoever
// sends it. The windows ask here only to tell the user beforehand and to switch off
// what would be refused.
class ClosedMonths {
public:
    explicit ClosedMonths(DataModule& dm) : dm_(dm) {}

    struct Closing {
        QString when;        // DD.MM.YYYY HH:MM
        QString who;         // the closing connection's name, in the user's words
        QString workstation; // the address it came from
    };

    // Whether the server keeps closed months at all: a database whose schema was not yet
    // upgraded has none, and then every month is open.
    bool available() const;

    // Who closed the month of the date and when; nothing when it is open.
    std::optional<Closing> closing(const QDate& anyDayOfMonth) const;
    bool isClosed(const QDate& anyDayOfMonth) const { return closing(anyDayOfMonth).has_value(); }

    // Closing and reopening; the server records who, when and from where.
    void close(int year, int month);
    void reopen(int year, int month);

    // "03.2024"
    static QString label(int year, int month);
    // The mark the windows show beside a date of a closed month, and its longer text.
    static QString mark(int year, int month);
    static QString details(const Closing& c);

private:
    DataModule& dm_;
};
