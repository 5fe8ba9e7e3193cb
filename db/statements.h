#ifndef STATEMENTS_H
#define STATEMENTS_H

#include <QByteArray>
#include <QList>
#include <QString>

// Every statement the program issues, each written once. Names are compared
// without regard to case by the game (UPPER(...) = an upper-cased value, served
// by the COMPUTED BY indexes) and exactly everywhere else.
namespace Statements {

// --- Categories ----------------------------------------------------------

inline const QString listCategories = QStringLiteral("SELECT catName FROM category ORDER BY catName ASC");
inline const QString categoryExists = QStringLiteral("SELECT catID FROM category WHERE UPPER(catName)=:catName");
inline const QString countCategory = QStringLiteral(
    "SELECT count(*) FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID=cat.catID WHERE UPPER(cat.catName)=:catName");
inline const QString addCategory =
    QStringLiteral("INSERT INTO category (catName, catID) VALUES (:catName, GEN_ID(AUTO_INC, 1) )");
inline const QString addCategoryReturningId =
    QStringLiteral("INSERT INTO category (catName, catID) VALUES (:catName, GEN_ID(AUTO_INC, 1) ) RETURNING catID");
inline const QString renameCategory = QStringLiteral("UPDATE category SET catName=:newname WHERE catName=:oldname");
inline const QString deleteCategory = QStringLiteral("DELETE FROM category WHERE catID=:catID");
// The category the game would find under a name: compared without regard to case.
inline const QString findCategoryIgnoringCase =
    QStringLiteral("SELECT catID, catName FROM category WHERE UPPER(catName)=:catName");
// Composed: see withName().
inline const QString findCategoryPrefix = QStringLiteral("SELECT catID FROM category WHERE catName='");
// A row when the category table is there without the schema's check on its
// names: a database made before that check.
inline const QByteArray categoryCheckMissing = QByteArrayLiteral(
    "SELECT 1 FROM RDB$DATABASE WHERE EXISTS(SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME='CATEGORY') "
    "AND NOT EXISTS(SELECT 1 FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME='CATEGORY_UNIQUE_NAME')");
// A row when a table, trigger or index of the section is missing: a database made
// before them, or an upgrade cut short.
inline const QByteArray playTablesMissing = QByteArrayLiteral(
    "SELECT 1 FROM RDB$DATABASE WHERE (SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME IN "
    "('CONTENT_ANSWER', 'QUESTION_STAT', 'NEAR_MISS', 'QUESTION_REPORT', 'CONTENT_RETIRED', 'SCORE_EVENT', "
    "'ROOM_STATE')) + (SELECT COUNT(*) FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME IN ('CONTENT_ANSWER_UNIQUE', "
    "'CONTENT_PLAY_DATA_GO')) + (SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME IN "
    "('CATEGORY_CONTENT_KEYS', 'CATEGORY_CONTENT_KEYS_DESC')) < 11");

// --- Questions -----------------------------------------------------------

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
inline const QString updateContent = QStringLiteral(
    "UPDATE content SET question=:newquestion, answer=:newanswer WHERE contentID=:contentID");
inline const QString deleteContent = QStringLiteral("DELETE FROM content WHERE contentID=:contentID");
inline const QString deleteLinks = QStringLiteral("DELETE FROM category_content WHERE contentID=:contentID");
inline const QString countCategoryLinks =
    QStringLiteral("SELECT COUNT(contentID) FROM category_content WHERE catID=:catID");
inline const QString listCategoryLinks = QStringLiteral("SELECT contentID FROM category_content WHERE catID=:catID");
// One page of a category's questions in key order, after the last key shown
// and up to the newest key when the list was opened. The order walks the
// (catID, contentID) index, so a page costs the same at any depth.
inline const QString listContentPage = QStringLiteral(
    "SELECT cc.contentID, c.question, c.answer FROM category_content cc "
    "INNER JOIN content c ON c.contentID=cc.contentID "
    "WHERE cc.catID=:catID AND cc.contentID>:after AND cc.contentID<=:upTo "
    "ORDER BY cc.catID, cc.contentID ROWS :count");
// The key :skip places after :after among the category's links, in order.
inline const QString linkAfter = QStringLiteral(
    "SELECT FIRST 1 SKIP :skip contentID FROM category_content WHERE catID=:catID AND contentID>:after "
    "ORDER BY catID, contentID");
// A listed question by the key it was listed with, as long as its texts and
// category are still the ones listed: found by key, not by a walk over every
// question's text.
inline const QString findListedContent = QStringLiteral(
    "SELECT c.contentID FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID=cat.catID WHERE c.contentID=:contentID AND c.question=:question "
    "AND c.answer=:answer AND cat.catName=:catName");
// The category's highest key, found by walking its index from the top.
inline const QString lastLink = QStringLiteral(
    "SELECT FIRST 1 contentID FROM category_content WHERE catID=:catID ORDER BY catID DESC, contentID DESC");
// The category's questions with keys in (:after, :upTo], in one statement:
// a walk over that key range of content instead of a statement per question.
inline const QString deleteContentsBetween = QStringLiteral(
    "DELETE FROM content c WHERE c.contentID>:after AND c.contentID<=:upTo AND EXISTS "
    "(SELECT 1 FROM category_content cc WHERE cc.catID=:catID AND cc.contentID=c.contentID)");
// The sizes of content's text columns in characters, as the schema made them.
inline const QString contentColumnSizes = QStringLiteral(
    "SELECT TRIM(rf.RDB$FIELD_NAME), f.RDB$CHARACTER_LENGTH FROM RDB$RELATION_FIELDS rf "
    "INNER JOIN RDB$FIELDS f ON rf.RDB$FIELD_SOURCE=f.RDB$FIELD_NAME "
    "WHERE rf.RDB$RELATION_NAME='CONTENT' AND f.RDB$CHARACTER_LENGTH IS NOT NULL");
// Composed: see findContentForUpdate() and findContentForDelete().
inline const QString findContentForUpdatePrefix = QStringLiteral(
    "SELECT cat.catID, c.contentID FROM category cat LEFT JOIN category_content cc ON cat.catID=cc.catID "
    "LEFT JOIN content c ON cc.contentID=c.contentID WHERE c.question='");
inline const QString findContentForDeletePrefix = QStringLiteral(
    "SELECT c.contentID FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID=cat.catID WHERE cat.catName='");
// Composed, on an import source: see withName().
inline const QString sourceCountPrefix = QStringLiteral(
    "SELECT COUNT(*) FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID=cat.catID WHERE cat.catname='");
inline const QString sourceContentPrefix = QStringLiteral(
    "SELECT c.question, c.answer FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID=cat.catID WHERE cat.catName='");

// --- Drawing questions ---------------------------------------------------

// The category's links, without the questions: cheap to walk, and a link whose
// question is gone is dropped when it is drawn.
inline const QString drawPool = QStringLiteral(
    "SELECT cc.contentID FROM category_content cc INNER JOIN category cat ON cc.catID=cat.catID "
    "WHERE UPPER(cat.catName)=:catName");
// Every new row takes its ID from AUTO_INC, so an unchanged generator means
// no question was added anywhere.
inline const QString generator = QStringLiteral("SELECT GEN_ID(AUTO_INC, 0) FROM RDB$DATABASE");
// One draw in one statement (each statement costs a transaction): the chosen
// question by its key unless it is retired (flag 1), its further accepted
// answers (flag 2) and the generator's value (flag 0).
// "cc.catID+0" keeps the engine off the catID index, which would walk the
// whole category.
inline const QString drawOne = QStringLiteral(
    "SELECT 1, c.question, c.answer, c.contentID FROM content c "
    "INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID+0=cat.catID "
    "WHERE UPPER(cat.catName)=:catName AND c.contentID=:contentID "
    "AND NOT EXISTS (SELECT 1 FROM content_retired r WHERE r.contentID=c.contentID) "
    "UNION ALL SELECT 2, NULL, a.answer, NULL FROM content_answer a WHERE a.contentID=:acceptedFor "
    "UNION ALL SELECT 0, NULL, NULL, GEN_ID(AUTO_INC, 0) FROM RDB$DATABASE");
// The category's links among the IDs drawn since the pool was last brought
// up to date: a walk over the new IDs only.
inline const QString drawPoolAdded = QStringLiteral(
    "SELECT cc.contentID FROM category_content cc INNER JOIN category cat ON cc.catID+0=cat.catID "
    "WHERE UPPER(cat.catName)=:catName AND cc.contentID>:after AND cc.contentID<=:upTo");

// Each category of the name with its lowest and highest question keys, found
// by walking its index from either end: how far apart they are bounds how
// many questions it can hold, at no cost.
inline const QString drawCategoryRange = QStringLiteral(
    "SELECT cat.catID, "
    "(SELECT FIRST 1 cc.contentID FROM category_content cc WHERE cc.catID=cat.catID ORDER BY cc.catID, cc.contentID), "
    "(SELECT FIRST 1 cc.contentID FROM category_content cc WHERE cc.catID=cat.catID "
    "ORDER BY cc.catID DESC, cc.contentID DESC) FROM category cat WHERE UPPER(cat.catName)=:catName");
// One sampling draw in one statement: which candidate keys are questions
// of the category now, not retired (flag 1), the accepted answers of those
// (flag 2), and the category's lowest and highest keys as they are now,
// found by walking its index from either end (flag 0). Composed with the
// category's key and the candidates, numbers the program made.
inline QString drawCandidates(qint64 catId, const QList<qint64>& keys)
{
    QStringList list(QStringLiteral("-1"));
    for (qint64 key : keys)
        list << QString::number(key);
    const QString in = list.join(QLatin1Char(','));
    const QString cat = QString::number(catId);
    return QStringLiteral(
               "SELECT 1, c.contentID, CAST(NULL AS INTEGER), c.question, c.answer FROM category_content cc "
               "INNER JOIN content c ON c.contentID=cc.contentID WHERE cc.catID=%1 AND cc.contentID IN (%2) "
               "AND NOT EXISTS (SELECT 1 FROM content_retired r WHERE r.contentID=c.contentID) "
               "UNION ALL SELECT 2, a.contentID, NULL, NULL, a.answer FROM content_answer a WHERE a.contentID IN (%2) "
               "UNION ALL SELECT 0, "
               "(SELECT FIRST 1 contentID FROM category_content WHERE catID=%1 ORDER BY catID, contentID), "
               "(SELECT FIRST 1 contentID FROM category_content WHERE catID=%1 ORDER BY catID DESC, contentID DESC), "
               "NULL, NULL FROM RDB$DATABASE")
        .arg(cat, in);
}
// A row when the category has at least one question.
inline const QString categoryHasQuestions = QStringLiteral(
    "SELECT FIRST 1 1 FROM category_content cc INNER JOIN category cat ON cc.catID=cat.catID "
    "WHERE UPPER(cat.catName)=:catName");

// --- Members -------------------------------------------------------------

inline const QString userExists = QStringLiteral("SELECT userID FROM users WHERE UPPER(username)=:username");
inline const QString raiseScore = QStringLiteral("UPDATE users SET score=(score+1) WHERE UPPER(username)=:username");
inline const QString addUser = QStringLiteral(
    "INSERT INTO users (username, score, hasControl, hasAdmin, userID) "
    "VALUES (:username, :score, :control, :admin, GEN_ID(AUTO_INC, 1) ) ");
// One point for a correct answer, as one statement, so it runs in a
// transaction that holds the users table for writing (reservedForPoints)
// and two processes cannot both create the member: every row of the name is
// raised, or the member is created with 1 and no rights when there is none;
// then the score the game reads (the first row's, as userScore reads it).
// Parameters: the name, the name upper-cased.
inline const QByteArray givePoint = QByteArrayLiteral(
    "EXECUTE BLOCK (memberName VARCHAR(255) CHARACTER SET UTF8 = ?, upperName VARCHAR(255) CHARACTER SET UTF8 = ?) "
    "RETURNS (newScore INTEGER) AS BEGIN "
    "UPDATE users SET score=(score+1) WHERE UPPER(username)=:upperName; "
    "IF (ROW_COUNT = 0) THEN "
    "INSERT INTO users (username, score, hasControl, hasAdmin, userID) "
    "VALUES (:memberName, 1, 0, 0, GEN_ID(AUTO_INC, 1)); "
    "SELECT FIRST 1 score FROM users WHERE UPPER(username)=:upperName INTO :newScore; "
    "SUSPEND; END");
// givePoint, and the point logged with its question, room and time in the
// same step. Parameters: the name, the name upper-cased, contentID, network,
// channel.
inline const QByteArray givePointLogged = QByteArrayLiteral(
    "EXECUTE BLOCK (memberName VARCHAR(255) CHARACTER SET UTF8 = ?, upperName VARCHAR(255) CHARACTER SET UTF8 = ?, "
    "id INTEGER = ?, network VARCHAR(255) CHARACTER SET UTF8 = ?, channel VARCHAR(255) CHARACTER SET UTF8 = ?) "
    "RETURNS (newScore INTEGER) AS BEGIN "
    "UPDATE users SET score=(score+1) WHERE UPPER(username)=:upperName; "
    "IF (ROW_COUNT = 0) THEN "
    "INSERT INTO users (username, score, hasControl, hasAdmin, userID) "
    "VALUES (:memberName, 1, 0, 0, GEN_ID(AUTO_INC, 1)); "
    "INSERT INTO score_event (username, contentID, network, channel, scored_at) "
    "VALUES (:memberName, :id, :network, :channel, CURRENT_TIMESTAMP); "
    "SELECT FIRST 1 score FROM users WHERE UPPER(username)=:upperName INTO :newScore; "
    "SUSPEND; END");
// The best ten by points logged since a moment, each name counted in any case.
inline const QString topTenSince = QStringLiteral(
    "SELECT FIRST 10 MAX(username), COUNT(*) FROM score_event WHERE scored_at >= :since "
    "GROUP BY UPPER(username) ORDER BY 2 DESC, 1");
// The room's row, replaced at each step of its game. Parameters: roomKey,
// network, channel, category, state, answer seconds, question number; the
// question's time is the moment the state becomes "question".
inline const QString updateRoomState = QStringLiteral(
    "UPDATE OR INSERT INTO room_state (roomKey, network, channel, category, state, asked_at, answer_seconds, "
    "question_number, updated_at) VALUES (:roomKey, :network, :channel, :category, :state, "
    "IIF(:isQuestion = 1, CURRENT_TIMESTAMP, NULL), :answerSeconds, :questionNumber, CURRENT_TIMESTAMP) "
    "MATCHING (roomKey)");
inline const QList<QByteArray> reservedForPoints = {QByteArrayLiteral("USERS")};
inline const QString userScore = QStringLiteral("SELECT score FROM users WHERE UPPER(username)=:username");
inline const QString hasControl = QStringLiteral("SELECT hasControl FROM users WHERE UPPER(username)=:username");
inline const QString hasAdmin = QStringLiteral("SELECT hasAdmin FROM users WHERE UPPER(username)=:username");
inline const QString topTen = QStringLiteral("SELECT FIRST 10 username, score FROM users ORDER BY score DESC");
// The speaker's own score: the name compared exactly.
inline const QString myScore = QStringLiteral("SELECT score FROM users WHERE username=:username");
inline const QString listScores = QStringLiteral("SELECT username, score FROM users");
inline const QString resetScores = QStringLiteral("UPDATE users SET score=0");
inline const QString updateScore = QStringLiteral("UPDATE users SET score=:newscore WHERE username=:username");
inline const QString listUsers =
    QStringLiteral("SELECT username, hasControl, hasAdmin FROM users ORDER BY username ASC");
inline const QString findUser = QStringLiteral("SELECT userID FROM users WHERE username=:username");
inline const QString changeUser = QStringLiteral(
    "UPDATE users SET username=:newname, hasControl=:control, hasAdmin=:admin WHERE userID=:userID ");
// Composed: see withName().
inline const QString deleteUserPrefix = QStringLiteral("DELETE FROM users WHERE username='");

// A text placed between single quotes: each quote doubled, so it stays one
// literal. Texts without quotes come out exactly as they went in.
inline QString quoted(QString text)
{
    return text.replace(QLatin1Char('\''), QLatin1String("''"));
}

// A composed statement: prefix, the quoted name and the closing quote.
inline QString withName(const QString& prefix, const QString& name)
{
    return prefix + quoted(name) + QLatin1Char('\'');
}

// The editor finds a listed row by its texts and its category's name.
inline QString findContentForUpdate(const QString& question, const QString& answer, const QString& category)
{
    return findContentForUpdatePrefix + quoted(question) + QLatin1String("' AND c.answer='") + quoted(answer)
        + QLatin1String("' AND cat.catName='") + quoted(category) + QLatin1String("' ");
}

inline QString findContentForDelete(const QString& category, const QString& question, const QString& answer)
{
    return findContentForDeletePrefix + quoted(category) + QLatin1String("' AND c.question='") + quoted(question)
        + QLatin1String("' AND c.answer='") + quoted(answer) + QLatin1String("' ");
}

// How many of the program's own tables the database has; ownTables when all.
inline const QString countOwnTables = QStringLiteral(
    "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME IN ('CONTENT', 'CATEGORY', 'CATEGORY_CONTENT', "
    "'USERS')");
constexpr int ownTables = 4;

// CREATE DATABASE takes no parameters. The path stays in the file system's
// own bytes, its quotes doubled as in quoted().
inline QByteArray createDatabase(QByteArray path, const QByteArray& user, const QByteArray& password)
{
    path.replace('\'', "''");
    return "CREATE DATABASE '" + path + "' USER '" + user + "' PASSWORD '" + password
        + "' PAGE_SIZE 8192 DEFAULT CHARACTER SET UTF8";
}

}

#endif
