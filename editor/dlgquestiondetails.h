#ifndef DLGQUESTIONDETAILS_H
#define DLGQUESTIONDETAILS_H

#include <QDialog>
#include <QString>

#include "db/healthstore.h"
#include "ui_dlgquestiondetails.h"

class QSqlError;

// One question and what play learnt about it: its texts, its accepted
// answers, the near misses typed, the players' reports and whether it is
// retired. The lists' buttons act at once; Save stores the texts and the
// retired mark. Built for one modal run.
class dlgQuestionDetails : public QDialog, public Ui::dlgQuestionDetails
{
    Q_OBJECT

public:
    // The near miss's Accept button sits in this column of its row.
    static constexpr int acceptColumn = 3;

    dlgQuestionDetails(int contentId, QWidget* parent = nullptr);

    // Reads the question; false, after telling the operator, when it cannot
    // be shown (gone, or the database failed).
    bool load();
    // Whether the question's texts changed in the database while open, and
    // the texts as stored.
    bool textsChanged() const { return textsStored; }
    QString question() const { return saved.question; }
    QString answer() const { return saved.answer; }

    // The lead, then what went wrong in plain words with the engine's text
    // under the details, or the engine's text itself when it means nothing known.
    static void warnFailure(QWidget* parent, const QString& lead, const QSqlError& error);

public Q_SLOTS:
    // Asks whether to save edits first.
    void reject() override;

private Q_SLOTS:
    bool save();
    void addAccepted();
    void removeAccepted();
    void dismissNearMisses();
    void dismissReports();
    void updateButtons();

private:
    void acceptNearMiss(const QString& answer);
    void loadAccepted();
    void loadNearMisses();
    void loadReports();
    bool edited() const;
    // After a store call returned false: the engine's failure, or the
    // question (or row) gone from under the dialog.
    void warnStoreFailure(const QString& lead);

    const int contentId;
    HealthStore store;
    HealthQuestion saved;
    bool textsStored = false;
};

#endif
