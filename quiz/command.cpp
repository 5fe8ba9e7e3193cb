#include "quiz/command.h"

#include <QHash>

namespace Quiz {

ChatCommand parseCommand(const QString& line)
{
    static const QHash<QString, Command> words = {
        {QStringLiteral("!start"), Command::Start},
        {QStringLiteral("!restart"), Command::Restart},
        {QStringLiteral("!quit"), Command::Quit},
        {QStringLiteral("!categories"), Command::Categories},
        {QStringLiteral("!help"), Command::Help},
        {QStringLiteral("!top"), Command::Top},
        {QStringLiteral("!myscore"), Command::MyScore},
        {QStringLiteral("!userscore"), Command::UserScore},
        {QStringLiteral("!q"), Command::Question},
        {QStringLiteral("!answertime"), Command::AnswerTime},
        {QStringLiteral("!nexttime"), Command::NextTime},
        {QStringLiteral("!giveanswer"), Command::GiveAnswer},
        {QStringLiteral("!about"), Command::About},
        {QStringLiteral("!report"), Command::Report},
        {QStringLiteral("!judging"), Command::Judging},
    };
    ChatCommand parsed;
    parsed.command = words.value(line.section(QLatin1Char(' '), 0, 0).toLower(), Command::None);
    parsed.argument = line.section(QLatin1Char(' '), 1, 1);
    parsed.rest = line.section(QLatin1Char(' '), 1);
    return parsed;
}

}
