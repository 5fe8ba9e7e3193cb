#include "quiz/replies.h"

namespace Replies {

QString connected()
{
    return QStringLiteral("(O) QuizNewt Connected (O)");
}

QString correct(const QString& name, const QString& score, int waitSeconds)
{
    return QStringLiteral("(*)") + name + QStringLiteral("(*) Is Correct!  Score: ") + score
        + QStringLiteral("  \nNext Question in ") + QString::number(waitSeconds) + QStringLiteral(" Seconds");
}

QString timedOut(const QString& answer, bool giveAnswer, int waitSeconds)
{
    QString message = QStringLiteral("Not answered correctly. ");
    if (giveAnswer)
        message += QStringLiteral("Correct answer was: ") + answer;
    return message + QStringLiteral(" \nNext question in ") + QString::number(waitSeconds)
        + QStringLiteral(" seconds.");
}

QString hint(const QString& hintText)
{
    return QStringLiteral("Hint: ") + hintText;
}

QString started(const QString& speaker)
{
    return QStringLiteral("(O) QuizNewt started by ") + speaker + QStringLiteral(" (O)");
}

QString restarting(const QString& category, const QString& speaker)
{
    return QStringLiteral("(O)Restarting with category '") + category + QStringLiteral("' by ") + speaker
        + QStringLiteral(" (O)");
}

QString ended(const QString& speaker)
{
    return QStringLiteral("(O) Trivia ended by ") + speaker + QStringLiteral(" (O)");
}

QString unauthorizedStart(const QString& category)
{
    return QStringLiteral("The category '") + category
        + QStringLiteral("' does not exist, or you are an unauthorized user!");
}

QString unauthorized()
{
    return QStringLiteral("You are an unauthorized user!");
}

QString noQuestion(const QString& category)
{
    return QStringLiteral("(O) Trivia ended: no question could be drawn from the category '") + category
        + QStringLiteral("' (O)");
}

QString categoryModified()
{
    return QStringLiteral("This category's name has been modified! "
                          "Please restart with the updated category name (Type !categories)");
}

QString categories(const QStringList& names, int lineBytes)
{
    QString text = QStringLiteral("QuizNewt Categories:");
    if (names.size() <= maxCategoryLines) {
        for (const QString& name : names)
            text += QLatin1Char('\n') + name;
        return text + QLatin1Char('\n');
    }
    // Packed: as many names on a line as it holds, so the room scrolls little.
    const QString separator = QStringLiteral(",");
    qsizetype used = text.toUtf8().size();
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString piece = names.at(i) + (i + 1 < names.size() ? separator : QString());
        const qsizetype bytes = piece.toUtf8().size();
        if (used > 0 && used + 1 + bytes > lineBytes) {
            text += QLatin1Char('\n');
            used = 0;
        } else if (used > 0) {
            text += QLatin1Char(' ');
            ++used;
        }
        text += piece;
        used += bytes;
    }
    return text + QLatin1Char('\n');
}

QString help(bool admin)
{
    QString text = admin ? QStringLiteral("<b>\n(O) QuizNewt Admin Commands (O)\n")
                         : QStringLiteral("<b>\n(O) QuizNewt Commands (O)\n");
    text += QStringLiteral("!start | !restart <category>\n"
                           "!categories\n!quit\n!help\n!top\n!myscore\n"
                           "!userscore <username>\n"
                           "!q\n"
                           "!report <note>\n");
    if (admin)
        return text + QStringLiteral("!about</b>\n"
                                     "--- Admin Section ---\n"
                                     "<b>!answertime | !nexttime <sec>\n!giveanswer (0|1)\n"
                                     "!judging (exact|lenient)\n</b>");
    return text + QStringLiteral("!about</b>");
}

QString topTen(const QList<QPair<QString, QString>>& rows, const QString& period)
{
    QString text = QStringLiteral("\n<b>QuizNewt Top Ten");
    if (!period.isEmpty())
        text += QLatin1Char(' ') + period;
    text += QLatin1Char('\n');
    for (const auto& row : rows)
        text += row.first + QStringLiteral(" : ") + row.second + QLatin1Char('\n');
    return text + QStringLiteral("</b>");
}

QString myScore(const QString& score)
{
    return QStringLiteral("\n<b>Your score: ") + score + QStringLiteral("</b>");
}

QString notInDatabase()
{
    return QStringLiteral("\n<b>Sorry, but you aren't in the database!</b>");
}

QString userScore(const QString& name, const QString& score)
{
    return QStringLiteral("<b>Score for ") + name + QStringLiteral(": ") + score + QStringLiteral("</b>");
}

QString userNotInDatabase()
{
    return QStringLiteral("<b>Sorry, that user isn't in the database!</b>");
}

QString notAdmin()
{
    return QStringLiteral("You are not an admin!");
}

QString answerTimeSet(const QString& argument)
{
    return QStringLiteral("Answer time set to: ") + argument + QStringLiteral(" seconds");
}

QString nextTimeSet(const QString& argument)
{
    return QStringLiteral("Next question time set to: ") + argument + QStringLiteral(" seconds");
}

QString giveAnswerSet(const QString& argument)
{
    if (argument == QLatin1String("0"))
        return QStringLiteral("Answer will not be given if not guessed");
    if (argument == QLatin1String("1"))
        return QStringLiteral("Answer will be given if not guessed");
    return QString();
}

QString about()
{
    return QStringLiteral("<b>\n(O) About QuizNewt (O)</b>\n"
                          "Version:  1.0 19-Oct-06\n"
                          "Website:  none\n"
                          "Developer:  The QuizNewt team\n"
                          "Testing: The QuizNewt team");
}

QString reported()
{
    return QStringLiteral("Thanks, the question is reported.");
}

QString alreadyReported()
{
    return QStringLiteral("You have reported this question already.");
}

QString tooManyReports()
{
    return QStringLiteral("You have reported five questions within the hour; please wait a while.");
}

QString nothingToReport()
{
    return QStringLiteral("There is no question to report yet.");
}

QString judgedLeniently(bool lenient)
{
    return lenient ? QStringLiteral("Answers are judged leniently.") : QStringLiteral("Answers are judged exactly.");
}

}
