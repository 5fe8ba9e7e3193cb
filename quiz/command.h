#ifndef QUIZCOMMAND_H
#define QUIZCOMMAND_H

#include <QString>

namespace Quiz {

enum class Command {
    None,
    Start,
    Restart,
    Quit,
    Categories,
    Help,
    Top,
    MyScore,
    UserScore,
    Question,
    AnswerTime,
    NextTime,
    GiveAnswer,
    About,
    Report,
    Judging,
};

struct ChatCommand {
    Command command = Command::None;
    // The second blank-separated word, case as typed; empty when missing.
    QString argument;
    // Everything after the command word: a category name may have blanks.
    QString rest;
};

// A simplified room text that begins with "!". The command word is matched
// ignoring case; an unknown word is Command::None.
ChatCommand parseCommand(const QString& line);

}

#endif
