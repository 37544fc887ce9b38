#pragma once
#include <QString>
#include <QtGlobal>

class DataModule;
class Dataset;
class Spreadsheet;

// The statements of the operations and prices directory. Every value written into them
// is a key the program holds (ids of the product, the kind and the operation, the
// product kind 0 or 1); nothing a user typed reaches them.
class OperationsStore {
public:
    explicit OperationsStore(DataModule* dm);

    // What an operation is made of.
    struct Key {
        int kindId = 0;        // vid
        int naimen = 0;        // 0 finished products, 1 blanks
        qint64 productId = 0;  // i_id
    };

    // The duplicate guards: true (after the message) when another operation has the key.
    bool existsOnAdd(const Key& key);
    bool existsOnChange(const Key& key, int operationId);

    // Adds the operation and its first norm level (price 0, to be priced in the norms
    // window), so that it shows in the list at once. Returns the new operation's id.
    // When the norm level is refused the operation is taken back: nothing half-written.
    int add(const Key& key);
    // Changes kind, product kind and product; answers the number of rows changed (0 when
    // another workstation has deleted the operation meanwhile).
    int change(int operationId, const Key& key);
    // Deletes through Oper_del; the server refuses it while journal rows use the operation.
    int remove(int operationId);

    // The price list: every operation, with or without norm levels, with the fields
    // MARKA, VID, NAIMEN, nmn, cena (the list price cena_new), id, i_id, oper_vid.
    Dataset* XLS_Rep() const { return xlsRep_; }
    // Writes the price list onto sheet 1 of a new workbook and shows it. Answers false
    // when the workbook could not be opened (the message has been shown).
    bool exportPriceList(Spreadsheet& excel);

    // How a price is written into the price list: the shortest general form, up to 15
    // significant digits, the decimal comma.
    static QString priceText(double price);
    // "Готовая продукция" for 0, "Заготовки" otherwise.
    static QString naimenText(int naimen);

private:
    DataModule* dm_;
    Dataset* xlsRep_;
};
