#ifndef ROWSOURCE_H
#define ROWSOURCE_H

#include <QList>
#include <QString>

#include <memory>

#include "importer/importpipeline.h"

// The reading side of the import pipeline: a source file handed out a chunk
// of rows at a time. No widgets.
namespace Import {

class RowSource
{
public:
    virtual ~RowSource() = default;

    SourceKind kind() const { return sourceKind; }

    // Appends up to max rows to *rows and the lines that could not be read
    // to *skipped; false once the source is done, or has failed (error() is
    // then set, and what it handed out before is incomplete).
    virtual bool next(int max, QList<Row>* rows, QList<Skip>* skipped) = 0;
    QString error() const { return failure; }
    // Lines read so far of known keys that hold no question, by key.
    virtual QMap<QString, int> ignored() const { return {}; }

protected:
    explicit RowSource(SourceKind kind) : sourceKind(kind) {}
    QString failure;

private:
    SourceKind sourceKind;
};

// What a file is by its first bytes: an Access file names its engine at
// byte 4, a Firebird file starts with its header page. Damaged or unreadable
// files go by their extension; anything else is a question file.
SourceKind kindOf(const QString& path);

// Opens the file as the kind given; error() says why when it cannot. Every
// table of a TriviaBot file, every category of a QuizNewt file, is a
// category of the same name; a row's line is its place in the file, counted
// table by table. connectionName is for the database kinds; the source holds
// it until it is destroyed; options are for question files.
std::unique_ptr<RowSource> openSource(const QString& path, SourceKind kind, const QString& connectionName,
                                      const QuestionFile::Options& options = {});

}

#endif
