#include <QtTest>

#include "ui_quiznewt.h"

// The generated main window form before the window class adds anything, and
// the images it and the window load: what the window code relies on.
class TestMainForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { form.setupUi(&dialog); }
    void pagesHoldTheControlsTheirCodeUses();
    void windowCannotBeResized();
    void spinBoxesStartInTheirRange();
    void comboItemsSurviveRetranslation();
    void imageIsCompiledIn_data();
    void imageIsCompiledIn();

private:
    QDialog dialog;
    Ui::QuizNewt form;
};

void TestMainForm::pagesHoldTheControlsTheirCodeUses()
{
    // The page buttons switch pages by index.
    const QList<QWidget*> onPage = {form.leAnswer, form.sbScore, form.cbAdmin, form.pbQuestions, form.sbWaitTime};
    QCOMPARE(form.stackedWidget->count(), onPage.size());
    for (int i = 0; i < onPage.size(); ++i)
        QVERIFY2(form.stackedWidget->widget(i)->isAncestorOf(onPage.at(i)), qPrintable(onPage.at(i)->objectName()));
}

void TestMainForm::windowCannotBeResized()
{
    QCOMPARE(dialog.minimumSize(), QSize(350, 275));
    QCOMPARE(dialog.maximumSize(), QSize(350, 275));
}

void TestMainForm::spinBoxesStartInTheirRange()
{
    const QList<std::tuple<QSpinBox*, int, int>> boxes = {
        {form.sbScore, 10000, 0}, {form.sbAnswer, 120, 30}, {form.sbWaitTime, 120, 10}};
    for (const auto& [box, maximum, start] : boxes) {
        QCOMPARE(box->minimum(), 0);
        QCOMPARE(box->maximum(), maximum);
        QCOMPARE(box->value(), start);
    }
}

void TestMainForm::comboItemsSurviveRetranslation()
{
    // The users page reads a right back from the combo's text.
    form.retranslateUi(&dialog);
    form.retranslateUi(&dialog);
    for (QComboBox* combo : {form.cbControl, form.cbAdmin}) {
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("true"));
        QCOMPARE(combo->itemText(1), QStringLiteral("false"));
    }
}

void TestMainForm::imageIsCompiledIn_data()
{
    // Sized for the fixed layout.
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("logo") << ":/new/prefix1/newt.png" << QSize(150, 157);
    QTest::newRow("background") << ":/new/prefix1/img/background.png" << QSize(350, 275);
    QTest::newRow("connect at rest") << ":/new/prefix1/img/connect_active.png" << QSize(162, 33);
    QTest::newRow("connect held") << ":/new/prefix1/img/connect_pressed.png" << QSize(159, 33);
    for (const QString page : {"trivia", "scores", "users", "content", "settings"}) {
        for (const QString state : {"up", "down"})
            QTest::addRow("%s %s", qPrintable(page), qPrintable(state))
                << QStringLiteral(":/new/prefix1/img/but_%1_%2.png").arg(page, state) << QSize(70, 27);
    }
}

void TestMainForm::imageIsCompiledIn()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QCOMPARE(QImage(path).size(), size);
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
