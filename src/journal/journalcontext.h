#pragma once
#include <QDate>

// What the entry editor reads of the journal it works for: the journal's shift, date and
// day-off box, and the entry current there. The journal window is one; the editor reaches
// it through the window registry, so neither window includes the other.
class JournalContext {
public:
    // The selected shift 1..4.
    virtual int currentShift() const = 0;
    // The date in the journal's picker.
    virtual QDate date() const = 0;
    // Whether "Выходной" is ticked.
    virtual bool isDayOff() const = 0;
    // The operation of the entry last chosen for a change (0 for none).
    virtual int currentOperationId() const = 0;

protected:
    ~JournalContext() = default;
};
