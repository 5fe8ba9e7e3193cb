#include "quiznewt.h"

#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include <climits>
#include <cstdlib>

#include "db/statements.h"

namespace {

const QString noAnswer = QStringLiteral("No Answer");

// The category's links, without the questions: cheap to walk, and a link whose
// question is gone is dropped when it is drawn.
const QString poolSql = QStringLiteral(
    "SELECT cc.contentID FROM category_content cc INNER JOIN category cat ON cc.catID=cat.catID "
    "WHERE UPPER(cat.catName)=:catName");
// Every new row takes its ID from AUTO_INC, so an unchanged generator means
// no question was added anywhere.
const QString generatorSql = QStringLiteral("SELECT GEN_ID(AUTO_INC, 0) FROM RDB$DATABASE");
// One draw in one statement (each statement costs a transaction): the chosen
// question by its key (flag 1) and the generator's value (flag 0).
// "cc.catID+0" keeps the engine off the catID index, which would walk the
// whole category.
const QString drawOneSql = QStringLiteral(
    "SELECT 1, c.question, c.answer, c.contentID FROM content c "
    "INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID+0=cat.catID "
    "WHERE UPPER(cat.catName)=:catName AND c.contentID=:contentID "
    "UNION ALL SELECT 0, NULL, NULL, GEN_ID(AUTO_INC, 0) FROM RDB$DATABASE");
// The category's links among the IDs drawn since the pool was last brought
// up to date: a walk over the new IDs only.
const QString poolAddedSql = QStringLiteral(
    "SELECT cc.contentID FROM category_content cc INNER JOIN category cat ON cc.catID+0=cat.catID "
    "WHERE UPPER(cat.catName)=:catName AND cc.contentID>:after AND cc.contentID<=:upTo");
const QString countSql = QStringLiteral(
    "SELECT count(*) FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID=cat.catID WHERE UPPER(cat.catName)=:catName");
const QString categoryExistsSql = QStringLiteral("SELECT catID FROM category WHERE UPPER(catName)=:catName");
const QString userExistsSql = QStringLiteral("SELECT userID FROM users WHERE UPPER(username)=:username");
const QString raiseScoreSql = QStringLiteral("UPDATE users SET score=(score+1) WHERE UPPER(username)=:username");
const QString addPlayerSql = QStringLiteral(
    "INSERT INTO users (username, score, hasControl, hasAdmin, userID) "
    "VALUES (:username, :score, :control, :admin, GEN_ID(AUTO_INC, 1) ) ");
const QString readScoreSql = QStringLiteral("SELECT score FROM users WHERE UPPER(username)=:username");
const QString controlSql = QStringLiteral("SELECT hasControl FROM users WHERE UPPER(username)=:username");
const QString adminSql = QStringLiteral("SELECT hasAdmin FROM users WHERE UPPER(username)=:username");
const QString topSql = QStringLiteral("SELECT FIRST 10 username, score FROM users ORDER BY score DESC");
const QString myScoreSql = QStringLiteral("SELECT score FROM users WHERE username=:username");
const QString userScoreSql = QStringLiteral("SELECT score FROM users WHERE UPPER(username)=:username");

// How many questions one draw may look at before it gives up, so a category
// of unplayable questions cannot hold the game up for long.
const int drawLookups = 200;

QString unauthorizedStart(const QString& category)
{
    return QStringLiteral("The category '") + category
        + QStringLiteral("' does not exist, or you are an unauthorized user!");
}

QString noQuestionNotice(const QString& category)
{
    return QStringLiteral("(O) Trivia ended: no question could be drawn from the category '") + category
        + QStringLiteral("' (O)");
}

// The first row's first column of a query that returns one flag.
bool flagIsSet(QSqlQuery* query, const QString& sql, const QString& name)
{
    query->prepare(sql);
    query->bindValue(QStringLiteral(":username"), name.toUpper());
    return query->exec() && query->next() && query->value(0).toUInt() == 1;
}

}

void QuizNewt::textCaptured(QString piece)
{
    lineBuffer += piece;
    if (piece != QLatin1String("\n"))
        return;

    speakerName = lineBuffer.section(QLatin1Char(':'), 0, 0).simplified();
    speakerText = lineBuffer.section(QLatin1Char(':'), 1).simplified();
    lineBuffer.clear();

    // Posts made by a command may bring room lines back in nested calls, which
    // overwrite the speaker; this line is judged as it was said.
    const QString name = speakerName;
    const QString text = speakerText;
    if (text.startsWith(QLatin1Char('!')))
        parseCommand(text);
    speakerName = name;
    speakerText = text;

    if (currentAnswer == noAnswer)
        return;
    if (text.toLower() != currentAnswer.toLower())
        return;
    scoreCorrectLine();
}

void QuizNewt::scoreCorrectLine()
{
    const QString name = speakerName;

    // The question ends before anything is posted: a line handled while the
    // post is on its way must find it closed, so it can score only once.
    lineBuffer.clear();
    currentQuestion.clear();
    currentAnswer = noAnswer;
    speakerText.clear();
    nextTimeout();

    if (userExists(name)) {
        gameQuery->prepare(raiseScoreSql);
        gameQuery->bindValue(QStringLiteral(":username"), name.toUpper());
        gameQuery->exec();
    } else {
        gameQuery->prepare(addPlayerSql);
        gameQuery->bindValue(QStringLiteral(":username"), name);
        gameQuery->bindValue(QStringLiteral(":score"), 1);
        gameQuery->bindValue(QStringLiteral(":control"), 0);
        gameQuery->bindValue(QStringLiteral(":admin"), 0);
        gameQuery->exec();
    }

    QString score = QStringLiteral("0");
    gameQuery->prepare(readScoreSql);
    gameQuery->bindValue(QStringLiteral(":username"), name.toUpper());
    if (gameQuery->exec())
        score = gameQuery->next() ? gameQuery->value(0).toString() : QString();

    sendToRoom(QStringLiteral("(*)") + name + QStringLiteral("(*) Is Correct!  Score: ") + score
               + QStringLiteral("  \nNext Question in ") + QString::number(sbWaitTime->value())
               + QStringLiteral(" Seconds"));
}

void QuizNewt::nextTimeout()
{
    answerTimer->stop();
    hintTimer->stop();
    nextTimer->start(sbWaitTime->value() * 1000);
}

void QuizNewt::nextQuestion()
{
    nextTimer->stop();
    QString question;
    QString answer;
    if (!drawQuestion(&question, &answer)) {
        stopGame();
        sendToRoom(noQuestionNotice(currentCategory));
        return;
    }
    openQuestion(question, answer, true);
}

void QuizNewt::openQuestion(const QString& question, const QString& answer, bool withHint)
{
    currentQuestion = question;
    currentAnswer = answer;
    teQuestion->setPlainText(question);
    leAnswer->setText(answer);

    // Timers first: an answer handled while the question is being posted stops
    // them again, instead of a hint and a time-out following a closed question.
    const int answerMs = sbAnswer->value() * 1000;
    answerTimer->start(answerMs);
    if (withHint)
        hintTimer->start(answerMs / 2);
    sendToRoom(question);
}

void QuizNewt::giveHint()
{
    hintTimer->stop();
    const int length = currentAnswer.size();
    if (length == 0)
        return;
    const int first = std::rand() % length;
    const int second = std::rand() % length;
    sendToRoom(QStringLiteral("Hint: ") + hintText(currentAnswer, first, second));
}

QString QuizNewt::hintText(const QString& answer, int first, int second)
{
    QString hint;
    hint.reserve(answer.size() * 2);
    for (int i = 0; i < answer.size(); ++i) {
        const QChar c = answer.at(i);
        if (i == first || i == second) {
            hint += c;
            hint += QLatin1Char(' ');
        } else if (c.isSpace()) {
            hint += QLatin1Char(' ');
        } else {
            hint += QLatin1String("_ ");
        }
    }
    return hint;
}

void QuizNewt::answerTimeout()
{
    answerTimer->stop();
    hintTimer->stop();

    const QString answer = currentAnswer;
    currentAnswer = noAnswer;
    nextTimer->start(sbWaitTime->value() * 1000);

    QString message = QStringLiteral("Not answered correctly. ");
    if (chkGiveAnswer->isChecked())
        message += QStringLiteral("Correct answer was: ") + answer;
    sendToRoom(message + QStringLiteral(" \nNext question in ") + QString::number(sbWaitTime->value())
               + QStringLiteral(" seconds."));
}

void QuizNewt::categoryModified()
{
    // A rename can also bring another category's questions under this name.
    drawPoolLoaded = false;
    if (categoryExists(currentCategory))
        return;
    answerTimer->stop();
    nextTimer->stop();
    hintTimer->stop();
    currentAnswer = noAnswer;
    currentQuestion.clear();
    sendToRoom(QStringLiteral("This category's name has been modified! "
                              "Please restart with the updated category name (Type !categories)"));
}

void QuizNewt::stopGame()
{
    answerTimer->stop();
    nextTimer->stop();
    hintTimer->stop();
    currentQuestion.clear();
    currentAnswer = noAnswer;
}

bool QuizNewt::categoryExists(const QString& name)
{
    gameQuery->prepare(categoryExistsSql);
    gameQuery->bindValue(QStringLiteral(":catName"), name.toUpper());
    return gameQuery->exec() && gameQuery->next();
}

bool QuizNewt::userExists(const QString& name)
{
    gameQuery->prepare(userExistsSql);
    gameQuery->bindValue(QStringLiteral(":username"), name.toUpper());
    return gameQuery->exec() && gameQuery->next();
}

bool QuizNewt::speakerHasControl()
{
    return flagIsSet(gameQuery, controlSql, speakerName);
}

bool QuizNewt::speakerHasAdmin()
{
    return flagIsSet(adminQuery, adminSql, speakerName);
}

int QuizNewt::countCategory(const QString& name)
{
    gameQuery->prepare(countSql);
    gameQuery->bindValue(QStringLiteral(":catName"), name.toUpper());
    if (!gameQuery->exec() || !gameQuery->next())
        return 0;
    const uint count = gameQuery->value(0).toUInt();
    return count > INT_MAX ? INT_MAX : int(count);
}

int QuizNewt::randomIndex(int count)
{
    return randomIndex(count, std::rand, RAND_MAX);
}

int QuizNewt::randomIndex(int count, int (*generator)(), qint64 generatorMax)
{
    if (count <= 0)
        return 0;
    if (count - 1 <= generatorMax)
        return generator() % count;
    // Where rand() stops at 32767, one draw could never reach the rows past it;
    // two draws make a 30-bit number.
    const quint64 wide = quint64(generator()) * quint64(generatorMax + 1) + quint64(generator());
    return int(wide % quint64(count));
}

void QuizNewt::loadDrawPool(const QString& upperName)
{
    drawPool.clear();
    drawPoolCategory = upperName;
    drawPoolLoaded = false;
    // The generator first: a question added after this read has a higher ID
    // and is found by the next draw.
    if (!gameQuery->exec(generatorSql) || !gameQuery->next())
        return;
    drawPoolGenerator = gameQuery->value(0).toLongLong();
    gameQuery->setForwardOnly(true);
    gameQuery->prepare(poolSql);
    gameQuery->bindValue(QStringLiteral(":catName"), upperName);
    drawPoolLoaded = gameQuery->exec();
    while (drawPoolLoaded && gameQuery->next())
        drawPool.append(gameQuery->value(0).toInt());
    gameQuery->setForwardOnly(false);
}

// Brings the pool up to date with the questions added up to generator value
// upTo; false when the database could not say.
bool QuizNewt::addNewToDrawPool(qint64 upTo)
{
    gameQuery->prepare(poolAddedSql);
    gameQuery->bindValue(QStringLiteral(":catName"), drawPoolCategory);
    gameQuery->bindValue(QStringLiteral(":after"), drawPoolGenerator);
    gameQuery->bindValue(QStringLiteral(":upTo"), upTo);
    if (!gameQuery->exec())
        return false;
    while (gameQuery->next())
        drawPool.append(gameQuery->value(0).toInt());
    drawPoolGenerator = upTo;
    return true;
}

// A uniform pick among the category's playable questions as they are now. The
// pool may still hold questions deleted since it was read: drawing one of
// those drops it and draws again. Questions added since are put in first and
// the draw is made again. Either way every present question stays equally
// likely.
bool QuizNewt::drawQuestion(QString* question, QString* answer)
{
    const QString upperName = currentCategory.toUpper();
    if (!drawPoolLoaded || drawPoolCategory != upperName)
        loadDrawPool(upperName);
    if (!drawPoolLoaded)
        return false;

    for (int lookup = 0; lookup < drawLookups; ++lookup) {
        const bool pick = !drawPool.isEmpty();
        questionIndex = pick ? randomIndex(drawPool.size()) : 0;
        gameQuery->prepare(drawOneSql);
        gameQuery->bindValue(QStringLiteral(":catName"), upperName);
        gameQuery->bindValue(QStringLiteral(":contentID"), pick ? drawPool.at(questionIndex) : -1);
        if (!gameQuery->exec())
            return false;

        bool found = false;
        qint64 generator = drawPoolGenerator;
        QString drawnQuestion;
        QString drawnAnswer;
        while (gameQuery->next()) {
            if (gameQuery->value(0).toInt() == 1) {
                found = true;
                drawnQuestion = gameQuery->value(1).toString();
                drawnAnswer = gameQuery->value(2).toString();
            } else {
                generator = gameQuery->value(3).toLongLong();
            }
        }
        if (generator != drawPoolGenerator) {
            const int before = drawPool.size();
            if (!addNewToDrawPool(generator))
                return false;
            questionCount = drawPool.size();
            if (drawPool.size() != before)
                continue;
        }
        if (!pick)
            return false;
        // Gone, or unplayable: an empty answer would match any empty line, and
        // an empty question cannot be asked. Either leaves the pool for this
        // game.
        if (!found || drawnQuestion.trimmed().isEmpty() || drawnAnswer.isEmpty()) {
            drawPool.swapItemsAt(questionIndex, drawPool.size() - 1);
            drawPool.removeLast();
            questionCount = drawPool.size();
            continue;
        }
        *question = drawnQuestion;
        *answer = drawnAnswer;
        return true;
    }
    return false;
}

void QuizNewt::startGame(const QString& category, bool restart)
{
    const QString speaker = speakerName;
    if (!categoryExists(category) || !speakerHasControl()) {
        sendToRoom(unauthorizedStart(category));
        return;
    }
    // An empty category is refused like a missing one: there is nothing to ask.
    const int count = countCategory(category);
    if (count == 0) {
        sendToRoom(unauthorizedStart(category));
        return;
    }

    currentCategory = category;
    questionCount = count;
    drawPoolLoaded = false;
    QString question;
    QString answer;
    if (!drawQuestion(&question, &answer)) {
        stopGame();
        sendToRoom(noQuestionNotice(currentCategory));
        return;
    }

    // The question that was open is closed now; the new one opens after the
    // announcement and the pause, so nothing can answer it before it is seen.
    currentAnswer = noAnswer;
    if (restart)
        sendToRoom(QStringLiteral("(O)Restarting with category '") + currentCategory + QStringLiteral("' by ")
                   + speaker + QStringLiteral(" (O)"));
    else
        sendToRoom(QStringLiteral("(O) QuizNewt started by ") + speaker + QStringLiteral(" (O)"));
    // A plain sleep on purpose: the room must see a gap between the
    // announcement and the question, and nothing is handled meanwhile.
    QThread::msleep(startPauseMs);
    openQuestion(question, answer, !restart);
}

void QuizNewt::replyPrivately(const QString& speaker, const QString& text)
{
    sendToRoom(QStringLiteral("/msg ") + speaker + text);
}

void QuizNewt::parseCommand(QString line)
{
    const QString speaker = speakerName;
    const QString command = line.section(QLatin1Char(' '), 0, 0).toLower();
    const QString argument = line.section(QLatin1Char(' '), 1, 1);

    if (command == QLatin1String("!start")) {
        startGame(argument, false);
    } else if (command == QLatin1String("!restart")) {
        stopGame();
        gameQuery->finish();
        startGame(argument, true);
    } else if (command == QLatin1String("!quit")) {
        if (speakerHasControl()) {
            stopGame();
            sendToRoom(QStringLiteral("(O) Trivia ended by ") + speaker + QStringLiteral(" (O)"));
        } else {
            sendToRoom(QStringLiteral("You are an unauthorized user!"));
        }
    } else if (command == QLatin1String("!categories")) {
        QString text = QStringLiteral("QuizNewt Categories:\n");
        if (gameQuery->exec(Statements::listCategories)) {
            while (gameQuery->next())
                text += gameQuery->value(0).toString() + QLatin1Char('\n');
        }
        sendToRoom(text);
    } else if (command == QLatin1String("!help")) {
        const bool admin = speakerHasAdmin();
        QString text = admin ? QStringLiteral("<b>\n(O) QuizNewt Admin Commands (O)\n")
                             : QStringLiteral("<b>\n(O) QuizNewt Commands (O)\n");
        text += QStringLiteral("!start | !restart <category>\n"
                               "!categories\n!quit\n!help\n!top\n!myscore\n"
                               "!userscore <username>\n"
                               "!q\n");
        if (admin)
            text += QStringLiteral("!about</b>\n"
                                   "--- Admin Section ---\n"
                                   "<b>!answertime | !nexttime <sec>\n!giveanswer (0|1)\n</b>");
        else
            text += QStringLiteral("!about</b>");
        replyPrivately(speaker, QLatin1Char(' ') + text);
    } else if (command == QLatin1String("!top")) {
        gameQuery->prepare(topSql);
        if (!gameQuery->exec())
            return;
        QString text = QStringLiteral("\n<b>QuizNewt Top Ten\n");
        while (gameQuery->next())
            text += gameQuery->value(0).toString() + QStringLiteral(" : ") + gameQuery->value(1).toString()
                + QLatin1Char('\n');
        replyPrivately(speaker, QLatin1Char(' ') + text + QStringLiteral("</b>"));
    } else if (command == QLatin1String("!myscore")) {
        gameQuery->prepare(myScoreSql);
        gameQuery->bindValue(QStringLiteral(":username"), speaker);
        if (!gameQuery->exec())
            return;
        if (gameQuery->next())
            replyPrivately(speaker, QStringLiteral(" \n<b>Your score: ") + gameQuery->value(0).toString()
                                        + QStringLiteral("</b>"));
        else
            replyPrivately(speaker, QStringLiteral(" \n<b>Sorry, but you aren't in the database!</b>"));
    } else if (command == QLatin1String("!userscore")) {
        gameQuery->prepare(userScoreSql);
        gameQuery->bindValue(QStringLiteral(":username"), argument.toUpper());
        if (!gameQuery->exec())
            return;
        if (gameQuery->next())
            replyPrivately(speaker, QStringLiteral(" <b>Score for ") + argument + QStringLiteral(": ")
                                        + gameQuery->value(0).toString() + QStringLiteral("</b>"));
        else
            replyPrivately(speaker, QStringLiteral(" <b>Sorry, that user isn't in the database!</b>"));
    } else if (command == QLatin1String("!q")) {
        if (!currentQuestion.isEmpty() && currentQuestion != QLatin1String("No Question"))
            replyPrivately(speaker, QLatin1Char(' ') + currentQuestion);
    } else if (command == QLatin1String("!answertime") || command == QLatin1String("!nexttime")) {
        if (!speakerHasAdmin()) {
            replyPrivately(speaker, QStringLiteral(" You are not an admin!"));
            return;
        }
        const uint seconds = argument.toUInt(nullptr, 10);
        // The spin box keeps its range; an unsigned value past INT_MAX must
        // not wrap to a negative one on the way.
        const int value = seconds > INT_MAX ? INT_MAX : int(seconds);
        if (command == QLatin1String("!answertime")) {
            sbAnswer->setValue(value);
            replyPrivately(speaker, QStringLiteral(" Answer time set to: ") + argument + QStringLiteral(" seconds"));
        } else {
            sbWaitTime->setValue(value);
            replyPrivately(speaker,
                           QStringLiteral(" Next question time set to: ") + argument + QStringLiteral(" seconds"));
        }
    } else if (command == QLatin1String("!giveanswer")) {
        if (!speakerHasAdmin()) {
            replyPrivately(speaker, QStringLiteral(" You are not an admin!"));
            return;
        }
        QString text;
        if (argument == QLatin1String("0")) {
            chkGiveAnswer->setChecked(false);
            text = QStringLiteral("Answer will not be given if not guessed");
        } else if (argument == QLatin1String("1")) {
            chkGiveAnswer->setChecked(true);
            text = QStringLiteral("Answer will be given if not guessed");
        }
        replyPrivately(speaker, QLatin1Char(' ') + text);
    } else if (command == QLatin1String("!about")) {
        replyPrivately(speaker, QStringLiteral(" <b>\n(O) About QuizNewt (O)</b>\n"
                                               "Version:  1.0 19-Oct-06\n"
                                               "Website:  none\n"
                                               "Developer:  The QuizNewt team\n"
                                               "Testing: The QuizNewt team"));
    }
}
