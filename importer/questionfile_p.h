#ifndef QUESTIONFILE_P_H
#define QUESTIONFILE_P_H

#include <QString>
#include <QStringList>

#include "importer/questionfile.h"

// The readers of the single formats, on decoded text with LF line ends.
namespace QuestionFile::Detail {

// Column names a CSV header may use, lower case.
inline const QStringList questionNames = {QStringLiteral("question"), QStringLiteral("questions")};
inline const QStringList answerNames = {QStringLiteral("answer"), QStringLiteral("answers")};
inline const QStringList categoryNames = {QStringLiteral("category"), QStringLiteral("categories")};

// The first of names (lower case, trimmed) that is one of wanted, or -1.
inline int column(const QStringList& names, const QStringList& wanted)
{
    for (int i = 0; i < names.size(); ++i) {
        if (wanted.contains(names.at(i)))
            return i;
    }
    return -1;
}

void readLines(const QString& text, QChar separator, Contents* out);
void readBlocks(const QString& text, Contents* out);
void readYaml(const QString& text, Contents* out);
void readCsv(const QString& text, Contents* out);

}

#endif
