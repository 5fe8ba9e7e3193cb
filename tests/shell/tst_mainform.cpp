#include <QComboBox>
#include <QDialog>
#include <QSpinBox>
#include <QStackedWidget>
#include <QtTest>

#include "ui_quiznewt.h"

// The generated main window form on its own, before the window class adds
// anything: the names, places and properties the rest of the program uses.
class TestMainForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void widget_data();
    void widget();
    void imageButton_data();
    void imageButton();
    void windowCannotBeResized();
    void spinBoxRange_data();
    void spinBoxRange();
    void comboItemsSurviveRetranslation();
    void treeHeaders_data();
    void treeHeaders();
    void formAloneStartsOnScoresWithNothingChecked();

private:
    QDialog* dialog = nullptr;
    Ui::QuizNewt* form = nullptr;

    template<typename T = QWidget>
    T* child(const QString& name) const { return dialog->findChild<T*>(name); }
};

void TestMainForm::init()
{
    dialog = new QDialog;
    form = new Ui::QuizNewt;
    form->setupUi(dialog);
}

void TestMainForm::cleanup()
{
    delete form;
    delete dialog;
    form = nullptr;
    dialog = nullptr;
}

void TestMainForm::widget_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry"); // null where a layout places it
    QTest::addColumn<QString>("text");

    const QRect laidOut;
    QTest::newRow("connect button") << "pbConnect" << "QPushButton" << "QuizNewt" << QRect(181, 21, 162, 33) << "";
    QTest::newRow("trivia button") << "pbTrivia" << "QPushButton" << "QuizNewt" << QRect(0, 62, 70, 27) << "";
    QTest::newRow("scores button") << "pbScores" << "QPushButton" << "QuizNewt" << QRect(70, 62, 70, 27) << "";
    QTest::newRow("users button") << "pbUsers" << "QPushButton" << "QuizNewt" << QRect(140, 62, 70, 27) << "";
    QTest::newRow("content button") << "pbContent" << "QPushButton" << "QuizNewt" << QRect(210, 62, 70, 27) << "";
    QTest::newRow("settings button") << "pbSettings" << "QPushButton" << "QuizNewt" << QRect(280, 62, 70, 27) << "";
    QTest::newRow("pages") << "stackedWidget" << "QStackedWidget" << "QuizNewt" << QRect(10, 100, 331, 169) << "";

    QTest::newRow("question label") << "label_5" << "QLabel" << "Trivia" << laidOut << "Question:";
    QTest::newRow("question") << "teQuestion" << "QTextEdit" << "Trivia" << laidOut << "";
    QTest::newRow("answer label") << "label_6" << "QLabel" << "Trivia" << laidOut << "Answer:";
    QTest::newRow("answer") << "leAnswer" << "QLineEdit" << "Trivia" << laidOut << "";
    QTest::newRow("give answer") << "chkGiveAnswer" << "QCheckBox" << "Trivia" << laidOut << "Give answer if not guessed";

    QTest::newRow("score list") << "twScoreList" << "QTreeWidget" << "Scores" << laidOut << "";
    QTest::newRow("score user") << "lblUsername" << "QLabel" << "Scores" << laidOut << "<select user>";
    QTest::newRow("score") << "sbScore" << "QSpinBox" << "Scores" << laidOut << "";
    QTest::newRow("score update") << "pbScoreUpdate" << "QPushButton" << "Scores" << laidOut << "Update";
    QTest::newRow("score reset") << "pbReset" << "QPushButton" << "Scores" << laidOut << "Reset All";

    QTest::newRow("user list") << "twUsers" << "QTreeWidget" << "Users" << laidOut << "";
    QTest::newRow("user name") << "leUsername" << "QLineEdit" << "Users" << laidOut << "";
    QTest::newRow("control label") << "label_7" << "QLabel" << "Users" << laidOut << "Control:";
    QTest::newRow("control") << "cbControl" << "QComboBox" << "Users" << laidOut << "";
    QTest::newRow("admin label") << "label_8" << "QLabel" << "Users" << laidOut << "Admin:";
    QTest::newRow("admin") << "cbAdmin" << "QComboBox" << "Users" << laidOut << "";
    QTest::newRow("user add") << "pbUserAdd" << "QPushButton" << "Users" << laidOut << "Add";
    QTest::newRow("user update") << "pbUserUpdate" << "QPushButton" << "Users" << laidOut << "Update";
    QTest::newRow("user delete") << "pbUserDelete" << "QPushButton" << "Users" << laidOut << "Delete";

    QTest::newRow("content note") << "label_9" << "QLabel" << "Questions" << QRect(20, 20, 291, 71)
        << "Click below to add/edit/delete QuizNewt questions and answers, or to import existing questions "
           "and answers from TriviaBot (Pervology)";
    QTest::newRow("open editor") << "pbQuestions" << "QPushButton" << "Questions" << QRect(70, 110, 181, 21)
                                 << "Add/Update/Delete Content";

    QTest::newRow("answer time label") << "label" << "QLabel" << "Settings" << laidOut << "Give Answer:";
    QTest::newRow("answer time") << "sbAnswer" << "QSpinBox" << "Settings" << laidOut << "";
    QTest::newRow("answer time unit") << "label_3" << "QLabel" << "Settings" << laidOut << "secs";
    QTest::newRow("wait time label") << "label_2" << "QLabel" << "Settings" << laidOut << "Next Question:";
    QTest::newRow("wait time") << "sbWaitTime" << "QSpinBox" << "Settings" << laidOut << "";
    QTest::newRow("wait time unit") << "label_4" << "QLabel" << "Settings" << laidOut << "secs";
}

void TestMainForm::widget()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    QWidget* w = child(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
    QVERIFY(w->parentWidget());
    QCOMPARE(w->parentWidget()->objectName(), parentName);
    if (!geometry.isNull())
        QCOMPARE(w->geometry(), geometry);

    if (w->inherits("QLabel") || w->inherits("QAbstractButton") || w->inherits("QLineEdit"))
        QCOMPARE(w->property("text").toString(), text);
    else if (auto* edit = qobject_cast<QTextEdit*>(w))
        QCOMPARE(edit->toPlainText(), text);
}

void TestMainForm::imageButton_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("iconSize");
    QTest::addColumn<bool>("pageButton");

    QTest::newRow("connect") << "pbConnect" << QSize(162, 33) << false;
    QTest::newRow("trivia") << "pbTrivia" << QSize(70, 27) << true;
    QTest::newRow("scores") << "pbScores" << QSize(70, 27) << true;
    QTest::newRow("users") << "pbUsers" << QSize(70, 27) << true;
    QTest::newRow("content") << "pbContent" << QSize(70, 27) << true;
    QTest::newRow("settings") << "pbSettings" << QSize(70, 27) << true;
}

void TestMainForm::imageButton()
{
    QFETCH(QString, name);
    QFETCH(QSize, iconSize);
    QFETCH(bool, pageButton);

    auto* button = child<QPushButton>(name);
    QVERIFY(button);
    QVERIFY(button->text().isEmpty());
    QVERIFY(button->isFlat());
    QCOMPARE(button->iconSize(), iconSize);
    QVERIFY(!button->icon().isNull());
    QCOMPARE(button->isCheckable(), pageButton);
    QCOMPARE(button->autoExclusive(), pageButton);
}

void TestMainForm::windowCannotBeResized()
{
    QCOMPARE(dialog->objectName(), QStringLiteral("QuizNewt"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("QuizNewt"));
    QCOMPARE(dialog->minimumSize(), QSize(350, 275));
    QCOMPARE(dialog->maximumSize(), QSize(350, 275));
    QCOMPARE(dialog->size(), QSize(350, 275));
    QCOMPARE(dialog->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(dialog->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QVERIFY(!dialog->windowIcon().isNull());

    dialog->resize(500, 400);
    QCOMPARE(dialog->size(), QSize(350, 275));
}

void TestMainForm::spinBoxRange_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("start");

    QTest::newRow("score stops at 10000") << "sbScore" << 10000 << 0;
    QTest::newRow("answer time 0 to 120, 30") << "sbAnswer" << 120 << 30;
    QTest::newRow("wait time 0 to 120, 10") << "sbWaitTime" << 120 << 10;
}

void TestMainForm::spinBoxRange()
{
    QFETCH(QString, name);
    QFETCH(int, maximum);
    QFETCH(int, start);

    auto* box = child<QSpinBox>(name);
    QVERIFY(box);
    QCOMPARE(box->value(), start);
    box->setValue(-1);
    QCOMPARE(box->value(), 0); // zero is allowed, nothing below it
    box->setValue(maximum + 1);
    QCOMPARE(box->value(), maximum);
}

void TestMainForm::comboItemsSurviveRetranslation()
{
    form->retranslateUi(dialog);
    form->retranslateUi(dialog);
    for (QComboBox* combo : {form->cbControl, form->cbAdmin}) {
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("true"));
        QCOMPARE(combo->itemText(1), QStringLiteral("false"));
        QCOMPARE(combo->currentText(), QStringLiteral("true"));
    }
    QCOMPARE(form->cbControl->sizePolicy().horizontalPolicy(), QSizePolicy::MinimumExpanding);
    QCOMPARE(form->cbControl->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
}

void TestMainForm::treeHeaders_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<bool>("sorting");

    QTest::newRow("scores") << "twScoreList" << QStringList{"Username", "Score"} << false;
    QTest::newRow("users") << "twUsers" << QStringList{"Username", "Control", "Admin"} << true;
}

void TestMainForm::treeHeaders()
{
    QFETCH(QString, name);
    QFETCH(QStringList, headers);
    QFETCH(bool, sorting);

    auto* tree = child<QTreeWidget>(name);
    QVERIFY(tree);
    QCOMPARE(tree->columnCount(), headers.size());
    for (int i = 0; i < headers.size(); ++i)
        QCOMPARE(tree->headerItem()->text(i), headers.at(i));
    QVERIFY(tree->alternatingRowColors());
    QCOMPARE(tree->isSortingEnabled(), sorting);
}

void TestMainForm::formAloneStartsOnScoresWithNothingChecked()
{
    QCOMPARE(form->stackedWidget->count(), 5);
    const QStringList pages = {"Trivia", "Scores", "Users", "Questions", "Settings"};
    for (int i = 0; i < pages.size(); ++i)
        QCOMPARE(form->stackedWidget->widget(i)->objectName(), pages.at(i));
    QCOMPARE(form->stackedWidget->currentIndex(), 1);
    for (QPushButton* b : {form->pbTrivia, form->pbScores, form->pbUsers, form->pbContent, form->pbSettings})
        QVERIFY2(!b->isChecked(), qPrintable(b->objectName()));

    // Auto-exclusive siblings: checking one unchecks the other.
    form->pbUsers->setChecked(true);
    form->pbContent->setChecked(true);
    QVERIFY(!form->pbUsers->isChecked());
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
