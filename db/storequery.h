#ifndef STOREQUERY_H
#define STOREQUERY_H

#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <initializer_list>
#include <utility>

#include "db/lookup.h"

// What the stores share about running a statement on the caller's query.
namespace StoreQuery {

using Bindings = std::initializer_list<std::pair<const char*, QVariant>>;

// Prepares, binds each placeholder and runs. A statement that failed to
// prepare fails to run, so only the run's result and error are looked at.
inline bool exec(QSqlQuery& query, const QString& statement, Bindings values)
{
    query.prepare(statement);
    for (const auto& [placeholder, value] : values)
        query.bindValue(QLatin1String(placeholder), value);
    return query.exec();
}

// The first row's first column of a statement that ran, or an invalid value
// (0 as a number) when it did not run or found no row.
inline QVariant firstValue(QSqlQuery& query, bool ran)
{
    return ran && query.next() ? query.value(0) : QVariant();
}

// The same, telling a failed statement from a missing row.
inline Database::Lookup first(QSqlQuery& query, bool ran, QVariant* value)
{
    if (!ran)
        return Database::Lookup::Failed;
    if (!query.next())
        return Database::Lookup::Missing;
    *value = query.value(0);
    return Database::Lookup::Found;
}

}

#endif
