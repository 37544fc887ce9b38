// A shift's 40 entries (8 operations, 5 workers each) typed through the real windows,
// offscreen, on a fresh database of its own, three ways:
//   the entry editor:  journal "Добавить" (Ins), the workers list, the operations list,
//                      quantity, hours, defects, "Запись" (Enter), once per entry;
//   the brigade grid:  journal Ctrl+B, F3 and the operations list once per operation, a
//                      worker's name and Enter for each row, quantity (the first row's
//                      hours), Ctrl+Enter;
//   yesterday's shift: the brigade grid with F6 "Скопировать в черновик" of the previous
//                      day (the brigade path's day), only quantities and defects typed.
// Every key goes through QTest to the widget a keyboard would reach (the open popup,
// else the focused control of the top window) and is counted there; nothing is set on a
// widget directly. The typist looks at the screen as a foreman does: he types a name or a
// product mark until his row is the one Enter takes, then presses Enter (in a list whose
// rows share the mark, Down to the row). After each path the journal of its day must hold
// exactly the 40 planned entries and every worker's day must be posted, or it fails.
// Prints keystrokes and seconds per entry of each path as a table, and the keys by kind.
//
//   bench_brigade   (run by bench/brigade, which starts a throwaway server)
#include "app/windows.h"
#include "core/clock.h"
#include "db/datamodule.h"
#include "directories/operationslist.h"
#include "directories/workerslist.h"
#include "journal/brigadeentry.h"
#include "journal/entryeditor.h"
#include "journal/journalwindow.h"
#include "support/plantfixture.h"
#include "support/testdb.h"
#include "ui/messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCompleter>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMap>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

// A hundred surnames, some of them twice or three times over, as on a plant's floor.
const char* const kSurnames[] = {
    "Абрамов", "Агафонов", "Александров", "Алексеев", "Андреев", "Анисимов", "Антонов", "Архипов", "Афанасьев",
    "Баранов", "Белов", "Беляев", "Богданов", "Борисов", "Быков", "Васильев", "Виноградов", "Власов", "Волков",
    "Воробьёв", "Гаврилов", "Герасимов", "Голубев", "Горбунов", "Григорьев", "Гусев", "Давыдов", "Данилов",
    "Денисов", "Дмитриев", "Евдокимов", "Егоров", "Ершов", "Ефимов", "Жуков", "Зайцев", "Захаров", "Зиновьев",
    "Иванов", "Ильин", "Исаев", "Казаков", "Калинин", "Карпов", "Киселёв", "Ковалёв", "Козлов", "Колесников",
    "Комаров", "Коновалов", "Королёв", "Краснов", "Крылов", "Кудрявцев", "Кузнецов", "Кузьмин", "Лазарев",
    "Лебедев", "Макаров", "Максимов", "Матвеев", "Медведев", "Мельников", "Миронов", "Михайлов", "Морозов",
    "Назаров", "Никитин", "Николаев", "Новиков", "Орлов", "Осипов", "Павлов", "Петров", "Поляков", "Попов",
    "Прохоров", "Романов", "Рыбаков", "Савельев", "Семёнов", "Сергеев", "Сидоров", "Смирнов", "Соболев",
    "Соколов", "Соловьёв", "Степанов", "Тарасов", "Тимофеев", "Титов", "Тихонов", "Устинов", "Фёдоров",
    "Филиппов", "Фролов", "Харитонов", "Чернов", "Шестаков", "Яковлев"};
const char* const kNames[] = {"Александр", "Алексей", "Андрей", "Виктор", "Владимир", "Дмитрий",
                              "Евгений", "Иван", "Михаил", "Николай", "Сергей", "Юрий"};
const char* const kPatronymics[] = {"Александрович", "Викторович", "Иванович", "Николаевич", "Петрович", "Сергеевич"};
const int kDirectory = 130;   // workers in the directory: a hundred surnames and thirty again

const char* const kMarks[] = {"КР-100", "КР-120", "КР-160", "ПН-60", "ПН-80", "УГ-40",
                              "УГ-50", "ШВ-12", "ОП-7", "СК-220", "РМ-15", "ПЛ-8"};
const char* const kKinds[] = {"Резка", "Гибка", "Сварка", "Сборка"};

struct Entry {
    int worker = 0;     // index into the directory
    int operation = 0;  // index into the shift's operations
    int quantity = 0;
    int defects = 0;
    int hours = 8;
};

struct Directory {
    QVector<int> workerIds;
    QStringList fio;
    QVector<int> operationIds;   // the shift's eight
    QStringList operationMarks;
};

// The keyboard: every key a foreman presses, to the widget it would reach, counted by
// what it was for.
class Keyboard {
public:
    int count = 0;
    QMap<QString, int> byKind;
    mutable int reactivated = 0;   // times the top window was given the activation back
    int buttonKeys = 0;            // keys that click a button: Qt acts 100 ms after showing it pressed

    // The open popup takes the keys (as the name hints do); otherwise the focused control
    // of the top window. The platform offscreen leaves a closed popup the active window:
    // the top window is made active again, as a window manager does when a popup closes,
    // so that its shortcuts (F3, F6, Ctrl+Enter) are found.
    QWidget* target(QWidget* top) const
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            return popup;
        if (QApplication::activeWindow() != top) {
            ++reactivated;
            top->activateWindow();
            settle();
        }
        QWidget* focus = top->focusWidget();
        return focus ? focus : top;
    }
    void keyClick(QWidget* top, Qt::Key key, const QString& kind, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        tally(kind);
        const QKeySequence keys(key | modifiers);
        for (const QAbstractButton* button : top->findChildren<QAbstractButton*>())
            if (button->isVisible() && button->shortcut() == keys)
                ++buttonKeys;
        QTest::keyClick(target(top), key, modifiers);
        settle();
    }
    // Each character one key, Cyrillic letters with their key code and text as a keyboard
    // sends them (QTest::keyClicks sends Latin-1 characters only).
    void keyClicks(QWidget* top, const QString& text, const QString& kind)
    {
        for (const QChar c : text) {
            tally(kind);
            QTest::sendKeyEvent(QTest::Click, target(top), Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
            settle();
        }
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

private:
    void tally(const QString& kind)
    {
        ++count;
        ++byKind[kind];
    }
};

// Runs steps one after another, each once its window is on top with the focus where the
// step's first key goes. A key may open a modal window (a button's key clicks it a moment
// later, and the window runs an event loop of its own): the next steps then run inside
// that loop. A step waits until every window an earlier key closed has left its loop, so
// that a key never lands in a window that is still closing: one loop of the driver's own
// and one for each open window.
class Driver {
public:
    struct Step {
        QWidget* window;
        QString focus;   // the focused control's name the step expects; empty: any
        std::function<void()> act;
    };

    explicit Driver(QWidget* journal) : journal_(journal) {}

    void add(QWidget* window, const QString& focus, std::function<void()> act) { steps_.push_back({window, focus, std::move(act)}); }

    // False, with what was on screen, when a step's window did not come within 10 s.
    bool run()
    {
        next_ = 0;
        failed_.clear();
        QEventLoop loop;
        done_ = [&loop] { loop.quit(); };
        waited_.start();
        QTimer::singleShot(0, [this] { tick(); });
        loop.exec();
        return failed_.isEmpty();
    }
    QString failure() const { return failed_; }

private:
    static int openModals()
    {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->isModal())
                ++n;
        return n;
    }
    QWidget* top() const
    {
        QWidget* modal = QApplication::activeModalWidget();
        return modal ? modal : journal_;
    }
    QString focusName() const
    {
        QWidget* f = top()->focusWidget();
        return f ? f->objectName() : QString();
    }
    bool ready(const Step& step) const
    {
        // A step's own keys let events through: the next step waits for them unless a
        // window the step opened runs a loop above it.
        const int level = QThread::currentThread()->loopLevel();
        if (!acting_.empty() && acting_.back() >= level)
            return false;
        return top() == step.window && level == 1 + openModals() && (step.focus.isEmpty() || focusName() == step.focus);
    }
    void tick()
    {
        if (!failed_.isEmpty())
            return;
        if (next_ >= steps_.size()) {
            if (QThread::currentThread()->loopLevel() == 1 && openModals() == 0)
                done_();
            else
                QTimer::singleShot(1, [this] { tick(); });
            return;
        }
        const Step& step = steps_[next_];
        if (!ready(step)) {
            if (waited_.elapsed() > 10000) {
                failed_ = QStringLiteral("step %1: waited for %2 (focus %3), on top %4 (focus %5), %6 windows open, %7 event loops")
                              .arg(next_)
                              .arg(step.window->objectName(), step.focus, top()->objectName(), focusName())
                              .arg(openModals())
                              .arg(QThread::currentThread()->loopLevel());
                while (QApplication::activeModalWidget())
                    QApplication::activeModalWidget()->close();
                done_();
                return;
            }
            QTimer::singleShot(1, [this] { tick(); });
            return;
        }
        ++next_;
        waited_.restart();
        QTimer::singleShot(0, [this] { tick(); });
        acting_.push_back(QThread::currentThread()->loopLevel());
        step.act();
        acting_.pop_back();
    }

    QWidget* journal_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    std::vector<int> acting_;   // the loop level of each step whose keys are being pressed
    QElapsedTimer waited_;
    QString failed_;
    std::function<void()> done_;
};

struct Result {
    QString path;
    int keys = 0;
    double seconds = 0;
    QMap<QString, int> byKind;
    int reactivated = 0;
    int buttonKeys = 0;
};

class Bench {
public:
    Bench()
        : db(std::make_unique<TestDatabase>(QStringLiteral("bench_brigade")))
    {
        makeDirectory();
        makeShift();
        journal = new JournalWindow;
        editor = new EntryEditor;
        workersList = new WorkersList;
        operationsList = new OperationsList;
        brigade = new BrigadeEntry;
        AppWindows& w = appWindows();
        w.journal = journal;
        w.entryEditor = editor;
        w.workersList = workersList;
        w.operationsList = operationsList;
        w.brigadeEntry = brigade;
    }

    ~Bench()
    {
        appWindows() = AppWindows();
        delete brigade;
        delete operationsList;
        delete workersList;
        delete editor;
        delete journal;
    }

    // The three paths on three working days in a row; the draft copies the brigade's day.
    bool run(QVector<Result>& results)
    {
        const QDate monday(2024, 3, 4);
        struct Path {
            QString name;
            QDate day;
            void (Bench::*script)(Driver&, Keyboard&);
        };
        const Path paths[] = {
            {QStringLiteral("Entry editor, one entry at a time"), monday.addDays(1), &Bench::editorPath},
            {QStringLiteral("Brigade grid (Ctrl+B), workers typed"), monday.addDays(2), &Bench::brigadePath},
            {QStringLiteral("Brigade grid, yesterday's shift copied (F6), quantities typed"), monday.addDays(3), &Bench::draftPath},
        };
        for (const Path& path : paths) {
            Clock::setToday(path.day);
            journal->CurrentShift = 1;
            journal->findChild<QDateEdit*>(QStringLiteral("DateT"))->setDate(path.day);
            journal->show();
            journal->activateWindow();
            Keyboard::settle();

            Messages::Recorder messages;
            Driver driver(journal);
            Keyboard keyboard;
            (this->*path.script)(driver, keyboard);
            QElapsedTimer timer;
            timer.start();
            const bool driven = driver.run();
            const double seconds = timer.nsecsElapsed() / 1e9;
            journal->hide();
            if (!driven) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(path.name), qPrintable(driver.failure()));
                for (const QString& text : messages.texts())
                    std::fprintf(stderr, "  message: %s\n", qPrintable(text));
                return false;
            }
            if (!messages.shown.isEmpty()) {
                std::fprintf(stderr, "%s: messages were shown:\n%s\n", qPrintable(path.name),
                             qPrintable(messages.texts().join(u'\n')));
                return false;
            }
            const QString wrong = checkJournal(path.day);
            if (!wrong.isEmpty()) {
                std::fprintf(stderr, "%s: the journal of %s is not the shift typed: %s\n", qPrintable(path.name),
                             qPrintable(path.day.toString(Qt::ISODate)), qPrintable(wrong));
                return false;
            }
            results.append({path.name, keyboard.count, seconds, keyboard.byKind, keyboard.reactivated, keyboard.buttonKeys});
        }
        return true;
    }

    int entries() const { return int(shift.size()); }

private:
    void makeDirectory()
    {
        const int surnames = int(std::size(kSurnames));
        for (int i = 0; i < kDirectory; ++i) {
            // The surnames past the hundredth again, with other first names.
            const int s = i < surnames ? i : (i - surnames) * 7 % surnames;
            QString fio;
            for (int n = i * 5; fio.isEmpty() || dir.fio.contains(fio); ++n)
                fio = QStringLiteral("%1 %2 %3")
                          .arg(QString::fromUtf8(kSurnames[s]), QString::fromUtf8(kNames[n % std::size(kNames)]),
                               QString::fromUtf8(kPatronymics[(i * 7) % std::size(kPatronymics)]));
            dir.fio.append(fio);
            dir.workerIds.append(Plant::worker(*db, fio));
        }
        QVector<int> kinds;
        for (const char* kind : kKinds)
            kinds.append(Plant::kind(*db, QString::fromUtf8(kind)));
        // Every product has every kind of work: a mark alone does not find the operation.
        QMap<QString, int> operations;
        for (int p = 0; p < int(std::size(kMarks)); ++p) {
            const qint64 product = Plant::product(*db, QString::fromUtf8(kMarks[p]));
            for (int k = 0; k < kinds.size(); ++k)
                operations[QStringLiteral("%1/%2").arg(p).arg(k)] = Plant::operation(*db, product, kinds[k], 0, 5 + (p * 3 + k) % 11);
        }
        // The shift's eight: (product, kind)
        const int shift[8][2] = {{1, 0}, {1, 1}, {4, 2}, {5, 0}, {7, 3}, {8, 1}, {9, 2}, {10, 3}};
        for (const auto& pk : shift) {
            dir.operationIds.append(operations[QStringLiteral("%1/%2").arg(pk[0]).arg(pk[1])]);
            dir.operationMarks.append(QString::fromUtf8(kMarks[pk[0]]));
        }
    }

    // Eight brigades of five, each worker once; quantities of two and three digits; one
    // row of each brigade with defects; eight hours.
    void makeShift()
    {
        for (int op = 0; op < 8; ++op)
            for (int i = 0; i < 5; ++i) {
                Entry e;
                e.worker = (op * 5 + i) * 3 % kDirectory + 1;
                e.operation = op;
                e.quantity = 15 + (op * 5 + i) * 37 % 190;
                e.defects = i == op % 5 ? 1 + op % 3 : 0;
                shift.append(e);
            }
    }

    QString checkJournal(const QDate& day) const
    {
        const SqlRun::Result rows = db->select(QStringLiteral("select w_id, o_id, kol_vo, brak, time from accounts_dep.smena "
                                                              "where data = :d and smena = 1 order by w_id"),
                                               {{QStringLiteral("d"), day}});
        QStringList expected, found;
        for (const Entry& e : shift)
            expected << QStringLiteral("%1/%2/%3/%4/%5")
                            .arg(dir.workerIds[e.worker])
                            .arg(dir.operationIds[e.operation])
                            .arg(e.quantity)
                            .arg(e.defects)
                            .arg(e.hours);
        for (const QSqlRecord& r : rows.rows)
            found << QStringLiteral("%1/%2/%3/%4/%5")
                         .arg(r.value(0).toInt())
                         .arg(r.value(1).toInt())
                         .arg(r.value(2).toInt())
                         .arg(r.value(3).toInt())
                         .arg(r.value(4).toInt());
        expected.sort();
        found.sort();
        if (found != expected)
            return QStringLiteral("%1 entries, %2 planned; first found %3, first planned %4")
                .arg(found.size())
                .arg(expected.size())
                .arg(found.value(0), expected.value(0));
        const int posted = db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel where smena = 1 and year = %1 "
                                                     "and month = %2 and d%3 = 8")
                                          .arg(day.year())
                                          .arg(day.month())
                                          .arg(day.day()))
                               .toInt();
        if (posted != shift.size())
            return QStringLiteral("%1 workers' days posted with 8 hours, %2 planned").arg(posted).arg(shift.size());
        return {};
    }

    const Entry* entryOf(int op, const QString& fio) const
    {
        for (const Entry& e : shift)
            if (e.operation == op && dir.fio[e.worker] == fio)
                return &e;
        return nullptr;
    }

    // In a list window: the search text typed letter by letter until the row the list
    // holds current is the wanted one; when the whole text is typed and rows of the same
    // text stand before it, Down to it.
    void findInList(Keyboard& kb, QWidget* list, Dataset* rows, const QString& text, int id, const QString& kind)
    {
        int typed = 0;
        while (rows->value(QStringLiteral("id")).toInt() != id && typed < text.size())
            kb.keyClicks(list, text.mid(typed++, 1), kind);
        for (int downs = 0; rows->value(QStringLiteral("id")).toInt() != id && downs < rows->recordCount(); ++downs)
            kb.keyClick(list, Qt::Key_Down, kind);
    }

    // In the brigade's name box: letters until his name is the first of the hints below
    // the box; Down takes it into the box unless it is the only one left.
    void findInHints(Keyboard& kb, const QString& fio)
    {
        auto* box = brigade->findChild<QLineEdit*>(QStringLiteral("WorkerFind"));
        QCompleter* hints = box->completer();
        auto firstHint = [&] {
            return box->text().isEmpty() ? QString() : hints->completionModel()->index(0, 0).data().toString();
        };
        int typed = 0;
        while (firstHint() != fio && typed < fio.size())
            kb.keyClicks(brigade, fio.mid(typed++, 1), QStringLiteral("names"));
        if (hints->completionCount() > 1)
            kb.keyClick(brigade, Qt::Key_Down, QStringLiteral("names"));
    }

    // Ins, the workers list, the operations list, quantity, hours, defects, Enter.
    void editorPath(Driver& d, Keyboard& kb)
    {
        for (const Entry& e : shift) {
            d.add(journal, {}, [this, &kb] { kb.keyClick(journal, Qt::Key_Insert, QStringLiteral("moves")); });
            d.add(editor, QStringLiteral("Button3"), [this, &kb] { kb.keyClick(editor, Qt::Key_Return, QStringLiteral("moves")); });
            d.add(workersList, QStringLiteral("Edit1"), [this, &kb, e] {
                findInList(kb, workersList, DataModule::instance()->Workers, dir.fio[e.worker], dir.workerIds[e.worker],
                           QStringLiteral("names"));
                kb.keyClick(workersList, Qt::Key_Return, QStringLiteral("moves"));
            });
            d.add(editor, QStringLiteral("Button4"), [this, &kb] { kb.keyClick(editor, Qt::Key_Return, QStringLiteral("moves")); });
            d.add(operationsList, QStringLiteral("Edit1"), [this, &kb, e] {
                findInList(kb, operationsList, DataModule::instance()->Oper, dir.operationMarks[e.operation],
                           dir.operationIds[e.operation], QStringLiteral("operations"));
                kb.keyClick(operationsList, Qt::Key_Return, QStringLiteral("moves"));
            });
            d.add(editor, QStringLiteral("Edit3"), [this, &kb, e] {
                kb.keyClicks(editor, QString::number(e.quantity), QStringLiteral("numbers"));
                kb.keyClick(editor, Qt::Key_Tab, QStringLiteral("moves"));
                kb.keyClicks(editor, QString::number(e.hours), QStringLiteral("numbers"));
                if (e.defects > 0) {
                    // Past the date to the defects.
                    kb.keyClick(editor, Qt::Key_Tab, QStringLiteral("moves"));
                    kb.keyClick(editor, Qt::Key_Tab, QStringLiteral("moves"));
                    kb.keyClicks(editor, QString::number(e.defects), QStringLiteral("numbers"));
                }
                kb.keyClick(editor, Qt::Key_Return, QStringLiteral("moves"));
            });
        }
    }

    // Ctrl+B, F3 and the operations list, then for each worker his name, Enter, the
    // quantity (the first row's hours, a row's defects) and Enter; Ctrl+Enter writes.
    void brigadePath(Driver& d, Keyboard& kb)
    {
        for (int op = 0; op < 8; ++op) {
            openBrigade(d, kb, op);
            bool first = true;
            for (const Entry& e : shift) {
                if (e.operation != op)
                    continue;
                d.add(brigade, QStringLiteral("WorkerFind"), [this, &kb, e] {
                    findInHints(kb, dir.fio[e.worker]);
                    kb.keyClick(brigade, Qt::Key_Return, QStringLiteral("moves"));
                });
                d.add(brigade, QStringLiteral("CellEdit"), [this, &kb, e, first] {
                    kb.keyClicks(brigade, QString::number(e.quantity), QStringLiteral("numbers"));
                    if (first || e.defects > 0)
                        kb.keyClick(brigade, Qt::Key_Tab, QStringLiteral("moves"));
                    if (first)
                        kb.keyClicks(brigade, QString::number(e.hours), QStringLiteral("numbers"));
                    if (e.defects > 0) {
                        kb.keyClick(brigade, Qt::Key_Tab, QStringLiteral("moves"));
                        kb.keyClicks(brigade, QString::number(e.defects), QStringLiteral("numbers"));
                    }
                    kb.keyClick(brigade, Qt::Key_Return, QStringLiteral("moves"));
                });
                first = false;
            }
            save(d, kb);
        }
    }

    // As the brigade path, the rows copied from the day before with F6: each row's
    // quantity typed down the column (a row's defects, and back to the quantities).
    void draftPath(Driver& d, Keyboard& kb)
    {
        for (int op = 0; op < 8; ++op) {
            openBrigade(d, kb, op);
            d.add(brigade, QStringLiteral("WorkerFind"), [this, &kb] { kb.keyClick(brigade, Qt::Key_F6, QStringLiteral("moves")); });
            for (int row = 0; row < 5; ++row)
                d.add(brigade, QStringLiteral("CellEdit"), [this, &kb, op, row] {
                    // The row's worker as the grid shows him: the draft has its own order.
                    const Entry* e = entryOf(op, brigade->cell(row, BrigadeEntry::Worker));
                    if (!e)
                        return;
                    kb.keyClicks(brigade, QString::number(e->quantity), QStringLiteral("numbers"));
                    if (e->defects > 0) {
                        kb.keyClick(brigade, Qt::Key_Tab, QStringLiteral("moves"));
                        kb.keyClick(brigade, Qt::Key_Tab, QStringLiteral("moves"));
                        kb.keyClicks(brigade, QString::number(e->defects), QStringLiteral("numbers"));
                    }
                    kb.keyClick(brigade, Qt::Key_Return, QStringLiteral("moves"));
                    if (e->defects > 0 && row < 4) {
                        // Enter went on down the defects: back to the next row's quantity.
                        kb.keyClick(brigade, Qt::Key_Backtab, QStringLiteral("moves"), Qt::ShiftModifier);
                        kb.keyClick(brigade, Qt::Key_Backtab, QStringLiteral("moves"), Qt::ShiftModifier);
                    }
                });
            save(d, kb);
        }
    }

    void openBrigade(Driver& d, Keyboard& kb, int op)
    {
        d.add(journal, {}, [this, &kb] { kb.keyClick(journal, Qt::Key_B, QStringLiteral("moves"), Qt::ControlModifier); });
        d.add(brigade, QStringLiteral("ChooseOperation"), [this, &kb] { kb.keyClick(brigade, Qt::Key_F3, QStringLiteral("moves")); });
        d.add(operationsList, QStringLiteral("Edit1"), [this, &kb, op] {
            findInList(kb, operationsList, DataModule::instance()->Oper, dir.operationMarks[op], dir.operationIds[op],
                       QStringLiteral("operations"));
            kb.keyClick(operationsList, Qt::Key_Return, QStringLiteral("moves"));
        });
    }

    void save(Driver& d, Keyboard& kb)
    {
        d.add(brigade, QStringLiteral("WorkerFind"),
              [this, &kb] { kb.keyClick(brigade, Qt::Key_Return, QStringLiteral("moves"), Qt::ControlModifier); });
    }

    std::unique_ptr<TestDatabase> db;
    Directory dir;
    QVector<Entry> shift;
    JournalWindow* journal = nullptr;
    EntryEditor* editor = nullptr;
    WorkersList* workersList = nullptr;
    OperationsList* operationsList = nullptr;
    BrigadeEntry* brigade = nullptr;
};

}

int main(int argc, char* argv[])
{
    // The offscreen platform's notes on what it cannot do (raise, grab the keyboard).
    static const QtMessageHandler qtHandler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (!text.startsWith(QLatin1String("This plugin does not support")))
            qtHandler(type, context, text);
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    QVector<Result> results;
    double entries = 0;
    {
        Bench bench;
        if (!bench.run(results))
            return 1;
        entries = bench.entries();
    }
    std::printf("| Path | Keystrokes per entry | Seconds per entry |\n|---|---:|---:|\n");
    for (const Result& r : results)
        std::printf("| %s | %.1f | %.3f |\n", qPrintable(r.path), r.keys / entries, r.seconds / entries);
    std::printf("\n");
    for (const Result& r : results) {
        QStringList kinds;
        for (auto it = r.byKind.cbegin(); it != r.byKind.cend(); ++it)
            kinds << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        std::printf("%s: %d keys in %.1f s (%s; the window activated again %d times); %d keys clicked a button, "
                    "%.1f s of waiting for the pressed look\n",
                    qPrintable(r.path), r.keys, r.seconds, qPrintable(kinds.join(QStringLiteral(", "))), r.reactivated,
                    r.buttonKeys, r.buttonKeys * 0.1);
    }
    const double ratio = double(results[1].keys) / results[0].keys;
    std::printf("\nBrigade grid / entry editor keystrokes: %.2f (goal: at most 0.33) — %s\n", ratio,
                ratio <= 1.0 / 3 ? "met" : "not met");
    if (results.size() > 2)
        std::printf("Copied shift / entry editor keystrokes: %.2f\n", double(results[2].keys) / results[0].keys);
    return 0;
}
