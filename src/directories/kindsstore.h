#pragma once
#include <QString>
#include <optional>

class DataModule;

// The statements and rules of the operation kinds directory, accounts_dep.vid_oper.
// The rows written are the ones the shared dataset Vid_oper lists.
class KindsStore {
public:
    explicit KindsStore(DataModule* dm);

    // The longest kind name the table keeps.
    static constexpr int kMaxVid = 50;

    // What is wrong with a kind name (already trimmed, not empty) before it may be written.
    static std::optional<QString> vidProblem(const QString& vid);

    // The duplicate guard: whether another kind has this name (trimmed), letter case and
    // blanks around a stored name ignored (Cyrillic too); shows "Такая операция уже
    // заведена!" when so. exceptId is the kind being changed.
    bool vidTaken(const QString& vid, std::optional<int> exceptId);

    void addKind(const QString& vid);
    // Answers false when the kind is no longer there.
    bool changeKind(int id, const QString& vid);
    void deleteKind(int id);

private:
    DataModule* dm_;
};
