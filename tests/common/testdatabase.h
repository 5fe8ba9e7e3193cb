#ifndef TESTDATABASE_H
#define TESTDATABASE_H

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real embedded database in a temporary directory, made by the same code
// as the setup tool, with a connection of its own for seeding and checking.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();

    bool isValid() const { return valid; }
    QString error() const { return lastError; }
    QString dir() const { return tempDir.path(); }
    QString filePath() const;
    QSqlDatabase connection() const;

    // Points the "InstallDir" setting at this database, as the setup tool does.
    void makeInstallDir() const;

    qint64 addCategory(const QString& name);
    qint64 addQuestion(qint64 catId, const QString& question, const QString& answer);
    // Adds count questions "Question i" / "Answer i" in one transaction.
    void addQuestions(qint64 catId, int count, const QString& prefix = QStringLiteral("Question"));
    qint64 addUser(const QString& name, int score, int control = 0, int admin = 0);

    // First column of every row of a statement, as text.
    QStringList column(const QString& sql) const;
    // First column of the first row, or an invalid value.
    QVariant value(const QString& sql) const;
    bool exec(const QString& sql) const;

private:
    QTemporaryDir tempDir;
    QString connectionName;
    QString lastError;
    bool valid = false;
};

// Makes the settings of this test process its own, away from the user's and
// from other tests running at the same time. Call before any QSettings use.
void isolateSettings();

// Runs a program to its end, as a user would: its exit code, or -1 when it did
// not end by itself; what it printed, both channels, goes to *output.
int runTool(const QString& program, const QStringList& arguments, QString* output = nullptr);

#endif
