#include "db/dberror.h"

#include <QStringList>

namespace {

bool hasCyrillic(const QString& text)
{
    for (const QChar c : text)
        if (c.script() == QChar::Script_Cyrillic)
            return true;
    return false;
}

// The server's message without the severity word the driver puts before it.
QString withoutSeverity(const QString& text)
{
    static const QString prefixes[] = {QStringLiteral("ERROR:"), QStringLiteral("FATAL:"), QStringLiteral("ОШИБКА:")};
    for (const QString& prefix : prefixes)
        if (text.startsWith(prefix))
            return text.mid(prefix.size()).trimmed();
    return text;
}

// The driver's words one line each, without the tabs and blanks it indents them with.
QString tidy(const QString& words)
{
    QStringList lines;
    for (const QString& line : words.split(u'\n'))
        if (const QString tidied = line.simplified(); !tidied.isEmpty())
            lines << tidied;
    return lines.join(u'\n');
}

}

DbError::DbError(const QString& sqlState, const QString& detail, bool lostConnection)
    : std::runtime_error("database error"), sqlState_(sqlState), detail_(tidy(detail))
{
    kind_ = lostConnection ? Kind::Connection : kindOf(sqlState);
    compose();
}

DbError::DbError(const QString& message)
    : std::runtime_error("database error"), message_(message), ownMessage_(message)
{
}

void DbError::setOutcomeUnknown()
{
    outcomeUnknown_ = true;
    compose();
}

void DbError::addNote(const QString& note)
{
    note_ = note;
    compose();
}

DbError::Kind DbError::kindOf(const QString& sqlState)
{
    const QString s = sqlState.toUpper();
    if (s.startsWith(QStringLiteral("08")) || s == QStringLiteral("57P01") || s == QStringLiteral("57P02")
        || s == QStringLiteral("57P03"))
        return Kind::Connection;
    if (s == QStringLiteral("23505")) return Kind::Unique;
    if (s == QStringLiteral("23503")) return Kind::ForeignKey;
    if (s == QStringLiteral("23514")) return Kind::Check;
    if (s == QStringLiteral("23502")) return Kind::NotNull;
    if (s == QStringLiteral("42501")) return Kind::Permission;
    if (s == QStringLiteral("P0001")) return Kind::Raised;
    // The plant's own refusals with their own codes: TBM01 a closed month, TBM02 closing
    // twice, TBH01 the history of changes.
    if (s.startsWith(QStringLiteral("TB"))) return Kind::Raised;
    if (s == QStringLiteral("55P03") || s == QStringLiteral("40001") || s == QStringLiteral("40P01"))
        return Kind::Busy;
    if (s.startsWith(QStringLiteral("22"))) return Kind::BadValue;
    return Kind::Other;
}

QString DbError::headline(Kind kind)
{
    switch (kind) {
    case Kind::Connection:
        return QStringLiteral("Нет связи с сервером базы данных. Программа подключится снова сама, "
                              "как только сервер ответит.");
    case Kind::Unique: return QStringLiteral("Такая запись уже есть в базе данных.");
    case Kind::ForeignKey:
        return QStringLiteral("Запись связана с другими данными базы: ссылка на несуществующую запись "
                              "или удаление используемой.");
    case Kind::Check: return QStringLiteral("Значение не прошло проверку базы данных.");
    case Kind::NotNull: return QStringLiteral("Не заполнено обязательное значение.");
    case Kind::Permission: return QStringLiteral("Недостаточно прав для этой операции в базе данных.");
    case Kind::Busy:
        return QStringLiteral("Данные заняты другим рабочим местом. Повторите действие.");
    case Kind::BadValue: return QStringLiteral("Недопустимое значение для базы данных.");
    case Kind::Raised:
    case Kind::Other: break;
    }
    return QStringLiteral("Ошибка базы данных.");
}

void DbError::compose()
{
    if (!ownMessage_.isEmpty()) {
        message_ = note_.isEmpty() ? ownMessage_ : ownMessage_ + QStringLiteral("\n\n") + note_;
        return;
    }
    QString head = headline(kind_);
    if (kind_ == Kind::Connection && outcomeUnknown_)
        head = QStringLiteral("Нет связи с сервером базы данных. Связь оборвалась во время записи: неизвестно, "
                              "успела ли она сохраниться. Проверьте данные, когда связь восстановится.");
    const QString words = withoutSeverity(detail_);
    // The plant's own server code says what is wrong in Russian: shown as it is.
    if (kind_ == Kind::Raised && hasCyrillic(words))
        message_ = words;
    else
        message_ = words.isEmpty() ? head : head + QStringLiteral("\n\n") + detail_;
    if (!note_.isEmpty())
        message_ += QStringLiteral("\n\n") + note_;
}
