#ifndef DLGQUESTIONHEALTH_H
#define DLGQUESTIONHEALTH_H

#include <QDialog>

#include "ui_dlgquestionhealth.h"

class QTreeWidgetItem;

// The questions that need a look, each with its reasons; a double-click
// opens one in dlgQuestionDetails. Built for one modal run.
class dlgQuestionHealth : public QDialog, public Ui::dlgQuestionHealth
{
    Q_OBJECT

public:
    enum Column { Category, Question, Answer, Reasons, Asked, Answered, AverageSeconds, Reports, NearMisses };
    // The question's contentID, in the Category column of every row.
    static constexpr int contentIdRole = Qt::UserRole;

    explicit dlgQuestionHealth(QWidget* parent = nullptr);

    // Whether a question's texts were changed from here.
    bool textsChanged() const { return textsStored; }

public Q_SLOTS:
    // Reads the list again; the selected question stays selected if it is listed.
    void loadHealth();

private Q_SLOTS:
    void itemDoubleClicked(QTreeWidgetItem* item, int column);
    void showDetails();

private:
    void openDetails(QTreeWidgetItem* item);

    bool textsStored = false;
};

#endif
