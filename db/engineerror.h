#ifndef ENGINEERROR_H
#define ENGINEERROR_H

#include <QSqlError>
#include <QString>

// What an engine error means to the operator: a plain sentence for the cases
// the operator can cause or meet (a name taken, a row another room is
// changing, a lost server), and the engine's own text for the details.
struct EngineError {
    QString plain;   // empty when the error is none of the known cases
    QString engine;  // the engine's text, for the details of a box

    // The plain sentence, or the engine's text when there is none.
    QString text() const { return plain.isEmpty() ? engine : plain; }
    // A box's text: the window's own words, a blank, then text().
    QString after(const QString& lead) const
    {
        return lead.isEmpty() || lead.endsWith(QLatin1Char(' ')) ? lead + text() : lead + QLatin1Char(' ') + text();
    }
    // A box's details: the engine's text, unless the box shows it already.
    QString details() const { return plain.isEmpty() ? QString() : engine; }
};

EngineError describeEngineError(const QSqlError& error);

#endif
