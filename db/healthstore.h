#ifndef HEALTHSTORE_H
#define HEALTHSTORE_H

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include "db/lookup.h"

// A question that needs a look, with what play says about it.
struct HealthRow {
    enum Reason {
        Reported = 1,
        NearMisses = 2,
        NeverAnswered = 4, // asked often enough, never answered
        TooFast = 8,       // answered often enough, on average too fast: too easy or leaked
    };
    Q_DECLARE_FLAGS(Reasons, Reason)

    int contentId = 0;
    QString category; // the first of its categories by name
    QString question;
    QString answer;
    int asked = 0;
    int answered = 0;
    qint64 totalMs = 0;
    int reports = 0;
    int nearMisses = 0;
    QStringList notes; // the reports' notes that say something, oldest first

    Reasons reasons() const;
    // Average seconds to a correct answer; negative when never answered.
    double averageSeconds() const { return answered > 0 ? totalMs / 1000.0 / answered : -1.0; }
};
Q_DECLARE_OPERATORS_FOR_FLAGS(HealthRow::Reasons)

// The reasons in words, for a list's column: "Reported: \"note\"; 2 near misses".
QString healthReasonText(const HealthRow& row);

// One question as the details show it.
struct HealthQuestion {
    QString category; // the first of its categories by name
    QString question;
    QString answer;
    bool retired = false;
};

struct NearMissRow {
    QString answer;
    int times = 0;
    QString lastBy;
    QDateTime lastAt;
};

struct ReportRow {
    QString reporter;
    QDateTime reportedAt;
    QString note;
};

// The question health view's statements: which questions need a look and
// why, and what the operator does about one (accepted answers, near misses,
// reports, retiring). Each call runs on a fresh query of the connection; a
// false result leaves the reason in lastError() (invalid when the question
// was simply not there).
class HealthStore
{
public:
    // The thresholds of the two reasons play statistics give.
    static constexpr int neverAnsweredAsks = 5;
    static constexpr int tooFastAnswers = 3;
    static constexpr int tooFastMs = 2000;

    explicit HealthStore(const QSqlDatabase& db = QSqlDatabase::database()) : db(db) {}

    // Every question with at least one reason that is not retired, in no order.
    bool listNeedingLook(QList<HealthRow>* rows);

    Database::Lookup question(int contentId, HealthQuestion* question);
    // Stores both texts; an accepted answer equal to the new answer, ignoring
    // case, goes, since the answer itself now accepts it. False with no
    // error when the question is gone.
    bool updateQuestion(int contentId, const QString& question, const QString& answer);

    bool acceptedAnswers(int contentId, QStringList* answers);
    // The database refuses one equal, ignoring case, to the answer or to
    // another accepted answer; false with no error when the question is gone.
    bool addAcceptedAnswer(int contentId, const QString& answer);
    // Removing or dismissing what is not there (any more) is no failure.
    bool removeAcceptedAnswer(int contentId, const QString& answer);

    // Most typed first.
    bool nearMisses(int contentId, QList<NearMissRow>* rows);
    // Adds the near miss as an accepted answer and removes it from the near
    // misses, both or neither; false with no error when it is gone.
    bool acceptNearMiss(int contentId, const QString& answer);
    bool dismissNearMiss(int contentId, const QString& answer);

    // Oldest first.
    bool reports(int contentId, QList<ReportRow>* rows);
    bool dismissReports(int contentId);

    bool setRetired(int contentId, bool retired);

    QSqlError lastError() const { return error; }

private:
    // Runs one statement on the question and a text; false on failure, and
    // when needsRow and it changed nothing.
    bool change(const QString& statement, int contentId, const QString& text, bool needsRow);
    bool failed(const QSqlError& reason);

    QSqlDatabase db;
    QSqlError error;
};

#endif
