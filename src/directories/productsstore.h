#pragma once
#include <QString>
#include <optional>

class DataModule;

// The statements and rules of the products directory. New products go into the shared
// goods catalogue, whose server trigger lists each new catalogue row in accounts_dep.izdel
// under the same id (s_caption as marka, s_description as nom, massa as massa). The
// product group derived from the marka is written as the catalogue description, so it
// is kept as the product's nom. A change rewrites the product and its catalogue row in
// place by id, so a product never gains a second row.
class ProductsStore {
public:
    explicit ProductsStore(DataModule* dm);

    // The longest marka the tables keep.
    static constexpr int kMaxMarka = 254;

    // The product group of a marka: the last row of the group table whose prefix the
    // upper-cased marka begins with, else the marka's first three characters.
    static QString productGroup(const QString& marka);

    // What is wrong with a marka (already trimmed, not empty) before it may be written.
    static std::optional<QString> markaProblem(const QString& marka);

    // The number box's text (the decimal separator is ","), read as a number; nothing
    // when it is no number or too large for the table.
    static std::optional<double> readNumber(const QString& text);
    // The message for a number box text that readNumber refuses.
    static QString numberProblem(const QString& text);
    // A stored number as the number box shows it: "2,5", "12".
    static QString numberText(double value);
    // A number as written into a statement: a point and no grouping, "2.5", "12".
    static QString numberLiteral(double value);

    // The duplicate guard: whether another product has this marka (trimmed), letter case
    // and blanks around a stored marka ignored (Cyrillic too); shows "Такая марка изделия
    // уже заведена!" when so. exceptId is the product being changed.
    bool markaTaken(const QString& marka, std::optional<qint64> exceptId);

    void addProduct(const QString& marka, double massa);
    // Answers false when the product is no longer there.
    bool changeProduct(qint64 id, const QString& marka, double massa);
    void deleteProduct(qint64 id);

private:
    DataModule* dm_;
};
