#ifndef STATEMENTS_H
#define STATEMENTS_H

#include <QString>

// Statements that more than one part of the program issues, and the one way
// a name is placed between single quotes in a composed statement.
namespace Statements {

inline const QString listCategories = QStringLiteral("SELECT catName FROM category ORDER BY catName ASC");

// A category's questions, its name compared exactly.
inline const QString listContent = QStringLiteral(
    "SELECT c.question, c.answer FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID=cat.catID WHERE cat.catName=:catName");

// RETURNING hands back the ID this insert drew; reading the generator
// afterwards could take a value another writer drew in between.
inline const QString addContent = QStringLiteral(
    "INSERT INTO content (contentID, question, answer) VALUES (GEN_ID(AUTO_INC, 1), :question, :answer) "
    "RETURNING contentID");

inline const QString addLink =
    QStringLiteral("INSERT INTO category_content (catID, contentID) VALUES (:catID, :contentID)");

// Composed: the quoted name and a closing quote follow.
inline const QString findCategoryPrefix = QStringLiteral("SELECT catID FROM category WHERE catName='");

// A text placed between single quotes: each quote doubled, so it stays one
// literal. Texts without quotes come out exactly as they went in.
inline QString quoted(QString text)
{
    return text.replace(QLatin1Char('\''), QLatin1String("''"));
}

}

#endif
