#include "editor/dlgquestiondetails.h"

#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>

#include "db/contentstore.h"
#include "db/engineerror.h"
#include "gui/controlcolours.h"
#include "gui/messagebox.h"

namespace {

const QString errorTitle = QStringLiteral("Error");

QString shortTime(const QDateTime& time)
{
    return QLocale().toString(time, QLocale::ShortFormat);
}

}

void dlgQuestionDetails::warnFailure(QWidget* parent, const QString& lead, const QSqlError& error)
{
    const EngineError why = describeEngineError(error);
    MessageBox::warning(parent, errorTitle, why.after(lead), why.details());
}

dlgQuestionDetails::dlgQuestionDetails(int contentId, QWidget* parent)
    : QDialog(parent)
    , contentId(contentId)
{
    setupUi(this);
    keepArrowsVisible(this);
    // The texts take the room the other columns leave.
    for (QTreeWidget* list : {twNearMisses, twReports}) {
        list->header()->setStretchLastSection(false);
        list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    }
    twNearMisses->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    twReports->header()->setSectionResizeMode(2, QHeaderView::Stretch);

    connect(pbSave, &QPushButton::clicked, this, &dlgQuestionDetails::save);
    connect(pbAcceptedAdd, &QPushButton::clicked, this, &dlgQuestionDetails::addAccepted);
    connect(leAccepted, &QLineEdit::returnPressed, this, &dlgQuestionDetails::addAccepted);
    connect(pbAcceptedRemove, &QPushButton::clicked, this, &dlgQuestionDetails::removeAccepted);
    connect(pbNearMissDismiss, &QPushButton::clicked, this, &dlgQuestionDetails::dismissNearMisses);
    connect(pbDismissReports, &QPushButton::clicked, this, &dlgQuestionDetails::dismissReports);
    for (QLineEdit* edit : {leQuestion, leAnswer, leAccepted})
        connect(edit, &QLineEdit::textChanged, this, &dlgQuestionDetails::updateButtons);
    connect(chkRetired, &QCheckBox::toggled, this, &dlgQuestionDetails::updateButtons);
    connect(lwAccepted, &QListWidget::itemSelectionChanged, this, &dlgQuestionDetails::updateButtons);
    connect(twNearMisses, &QTreeWidget::itemSelectionChanged, this, &dlgQuestionDetails::updateButtons);
    updateButtons();
}

bool dlgQuestionDetails::load()
{
    switch (store.question(contentId, &saved)) {
    case Database::Lookup::Failed:
        warnFailure(parentWidget(), QStringLiteral("Unable to read the question."), store.lastError());
        return false;
    case Database::Lookup::Missing:
        MessageBox::warning(parentWidget(), errorTitle, QStringLiteral("The question is no longer in the database."));
        return false;
    case Database::Lookup::Found:
        break;
    }
    {
        // The database's own limits, rather than its refusal on Save.
        QSqlQuery query;
        int questionLength = 0;
        int answerLength = 0;
        if (ContentStore(query).contentColumnSizes(&questionLength, &answerLength)) {
            leQuestion->setMaxLength(questionLength);
            leAnswer->setMaxLength(answerLength);
            leAccepted->setMaxLength(answerLength);
        }
    }
    lblCategory->setText(saved.category);
    leQuestion->setText(saved.question);
    leAnswer->setText(saved.answer);
    leQuestion->setCursorPosition(0);
    leAnswer->setCursorPosition(0);
    chkRetired->setChecked(saved.retired);
    loadAccepted();
    loadNearMisses();
    loadReports();
    updateButtons();
    return true;
}

void dlgQuestionDetails::loadAccepted()
{
    lwAccepted->clear();
    QStringList answers;
    if (!store.acceptedAnswers(contentId, &answers))
        warnFailure(this, QStringLiteral("Unable to read the accepted answers."), store.lastError());
    lwAccepted->addItems(answers);
}

void dlgQuestionDetails::loadNearMisses()
{
    twNearMisses->clear();
    QList<NearMissRow> rows;
    if (!store.nearMisses(contentId, &rows))
        warnFailure(this, QStringLiteral("Unable to read the near misses."), store.lastError());
    for (const NearMissRow& row : std::as_const(rows)) {
        auto* item = new QTreeWidgetItem(twNearMisses, {row.answer, QString::number(row.times), row.lastBy});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(2, row.lastAt.isValid() ? shortTime(row.lastAt) : QString());
        // One click makes it an accepted answer.
        auto* accept = new QPushButton(QStringLiteral("Accept"));
        accept->setObjectName(QStringLiteral("pbAccept"));
        accept->setAutoDefault(false);
        accept->setToolTip(QStringLiteral("Accept \"%1\" as an answer").arg(row.answer));
        const QString answer = row.answer;
        connect(accept, &QPushButton::clicked, this, [this, answer] { acceptNearMiss(answer); });
        twNearMisses->setItemWidget(item, acceptColumn, accept);
    }
    gbNearMisses->setTitle(rows.isEmpty() ? QStringLiteral("Near misses")
                                          : QStringLiteral("Near misses (%1)").arg(rows.size()));
}

void dlgQuestionDetails::loadReports()
{
    twReports->clear();
    QList<ReportRow> rows;
    if (!store.reports(contentId, &rows))
        warnFailure(this, QStringLiteral("Unable to read the reports."), store.lastError());
    for (const ReportRow& row : std::as_const(rows)) {
        auto* item = new QTreeWidgetItem(twReports, {row.reporter, shortTime(row.reportedAt), row.note});
        item->setToolTip(2, row.note);
    }
    gbReports->setTitle(rows.isEmpty() ? QStringLiteral("Reports") : QStringLiteral("Reports (%1)").arg(rows.size()));
    updateButtons();
}

bool dlgQuestionDetails::edited() const
{
    return leQuestion->text() != saved.question || leAnswer->text() != saved.answer
        || chkRetired->isChecked() != saved.retired;
}

void dlgQuestionDetails::updateButtons()
{
    pbSave->setEnabled(edited());
    pbAcceptedAdd->setEnabled(!leAccepted->text().trimmed().isEmpty());
    pbAcceptedRemove->setEnabled(!lwAccepted->selectedItems().isEmpty());
    pbNearMissDismiss->setEnabled(!twNearMisses->selectedItems().isEmpty());
    pbDismissReports->setEnabled(twReports->topLevelItemCount() > 0);
}

void dlgQuestionDetails::warnStoreFailure(const QString& lead)
{
    if (store.lastError().isValid())
        warnFailure(this, lead, store.lastError());
    else
        MessageBox::warning(this, errorTitle, lead + QStringLiteral(" It is no longer in the database."));
}

bool dlgQuestionDetails::save()
{
    const QString question = leQuestion->text();
    const QString answer = leAnswer->text();
    if (question.trimmed().isEmpty() || answer.trimmed().isEmpty()) {
        MessageBox::warning(this, errorTitle, QStringLiteral("Please fill in both a Question & Answer!"));
        return false;
    }
    if (question != saved.question || answer != saved.answer) {
        if (!store.updateQuestion(contentId, question, answer)) {
            warnStoreFailure(QStringLiteral("Unable to save the question."));
            return false;
        }
        saved.question = question;
        saved.answer = answer;
        textsStored = true;
        // An accepted answer equal to the new answer is gone.
        loadAccepted();
    }
    const bool retired = chkRetired->isChecked();
    if (retired != saved.retired) {
        if (!store.setRetired(contentId, retired)) {
            warnStoreFailure(retired ? QStringLiteral("Unable to retire the question.")
                                     : QStringLiteral("Unable to bring the question back."));
            return false;
        }
        saved.retired = retired;
    }
    updateButtons();
    return true;
}

void dlgQuestionDetails::reject()
{
    if (edited()
        && MessageBox::question(this, QStringLiteral("Unsaved Changes"),
                                QStringLiteral("Save the changes to this question?")) == QMessageBox::Yes
        && !save())
        return;
    QDialog::reject();
}

void dlgQuestionDetails::addAccepted()
{
    const QString answer = leAccepted->text().trimmed();
    if (answer.isEmpty())
        return;
    if (!store.addAcceptedAnswer(contentId, answer)) {
        warnStoreFailure(QStringLiteral("Unable to accept \"%1\".").arg(answer));
        return;
    }
    leAccepted->clear();
    loadAccepted();
}

void dlgQuestionDetails::removeAccepted()
{
    const QList<QListWidgetItem*> chosen = lwAccepted->selectedItems();
    for (const QListWidgetItem* item : chosen) {
        if (!store.removeAcceptedAnswer(contentId, item->text())) {
            warnStoreFailure(QStringLiteral("Unable to remove \"%1\".").arg(item->text()));
            break;
        }
    }
    loadAccepted();
}

void dlgQuestionDetails::acceptNearMiss(const QString& answer)
{
    if (!store.acceptNearMiss(contentId, answer))
        warnStoreFailure(QStringLiteral("Unable to accept \"%1\".").arg(answer));
    loadAccepted();
    loadNearMisses();
}

void dlgQuestionDetails::dismissNearMisses()
{
    QStringList answers;
    for (const QTreeWidgetItem* item : twNearMisses->selectedItems())
        answers << item->text(0);
    for (const QString& answer : std::as_const(answers)) {
        if (!store.dismissNearMiss(contentId, answer)) {
            warnStoreFailure(QStringLiteral("Unable to dismiss \"%1\".").arg(answer));
            break;
        }
    }
    loadNearMisses();
}

void dlgQuestionDetails::dismissReports()
{
    const int count = twReports->topLevelItemCount();
    if (count == 0)
        return;
    if (MessageBox::question(this, QStringLiteral("About to Delete!"),
                             count == 1 ? QStringLiteral("Dismiss the report on this question?")
                                        : QStringLiteral("Dismiss the %1 reports on this question?").arg(count))
        != QMessageBox::Yes)
        return;
    if (!store.dismissReports(contentId))
        warnStoreFailure(QStringLiteral("Unable to dismiss the reports."));
    loadReports();
}
