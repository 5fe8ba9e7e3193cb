#include "db/engineerror.h"

#include <QRegularExpression>

EngineError describeEngineError(const QSqlError& error)
{
    EngineError result;
    result.engine = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    const QString& text = result.engine;
    const int sqlCode = error.nativeErrorCode().toInt();

    // Our own exceptions carry their message between the exception's name
    // and the place that raised it: "exception 1 - NAME - message - At trigger ...".
    static const QRegularExpression raised(
        QStringLiteral("exception \\d+ - [A-Z0-9_$]+ - (.*?)(?: - At (?:trigger|procedure) .*)?$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = raised.match(text);
    if (match.hasMatch()) {
        result.plain = match.captured(1).trimmed();
        if (!result.plain.endsWith(QLatin1Char('.')))
            result.plain += QLatin1Char('.');
        return result;
    }

    const auto mentions = [&text](const char* words) {
        return text.contains(QLatin1String(words), Qt::CaseInsensitive);
    };
    if (sqlCode == -913 || mentions("lock conflict") || mentions("deadlock")
        || mentions("update conflicts with concurrent update")) {
        result.plain = QStringLiteral("Someone else is changing the same entry right now. Try again in a moment.");
    } else if (mentions("connection shutdown") || mentions("Error reading data from the connection")
               || mentions("Error writing data to the connection") || mentions("Unable to complete network request")
               || mentions("connection lost") || mentions("connection rejected")) {
        result.plain = QStringLiteral("The connection to the database server was lost. Check that the server is "
                                      "running, then try again.");
    } else if (sqlCode == -803 || mentions("violation of PRIMARY or UNIQUE KEY")) {
        result.plain = QStringLiteral("That entry exists already.");
    }
    return result;
}
