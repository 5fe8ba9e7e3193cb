// The running game hears of renamed and deleted categories through the
// editor that the main window opens.

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/messagebox.h"
#include "app/quiznewt.h"
#include "editor/dlgquestioneditor.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"

class QuizNewtTestAccess
{
public:
    static void openEditor(QuizNewt& window) { window.showQuestionEditor(); }
    static QString currentAnswer(const QuizNewt& window) { return window.currentAnswer; }
};

class TestEditorGame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void gameHearsOfTheChange_data();
    void gameHearsOfTheChange();
    void everyOpeningBuildsAFreshEditor();

private:
    // Opens the editor from the window, runs action on it, closes it.
    bool runEditor(QuizNewt& window, const std::function<void(dlgQuestionEditor&)>& action);
};

void TestEditorGame::initTestCase()
{
    isolateSettings();
    MessageBox::setTestMode(true);
}

bool TestEditorGame::runEditor(QuizNewt& window, const std::function<void(dlgQuestionEditor&)>& action)
{
    // The editor runs modally; act on it from inside its loop and check
    // afterwards, since a failing check inside would leave it open.
    bool acted = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        auto* editor = qobject_cast<dlgQuestionEditor*>(QApplication::activeModalWidget());
        if (!editor || acted)
            return;
        acted = true;
        action(*editor);
        editor->pbClose->click();
    });
    poll.start(10);
    QuizNewtTestAccess::openEditor(window);
    return acted && !window.findChild<dlgQuestionEditor*>();
}

void TestEditorGame::gameHearsOfTheChange_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<bool>("noticed");

    QTest::newRow("running category renamed") << "Capitals" << "World Capitals" << false << true;
    QTest::newRow("running category deleted") << "Capitals" << "" << true << true;
    QTest::newRow("only the case changed") << "Capitals" << "CAPITALS" << false << false;
    QTest::newRow("another category renamed") << "Rivers" << "Big Rivers" << false << false;
    QTest::newRow("another category deleted") << "Rivers" << "" << true << false;
}

void TestEditorGame::gameHearsOfTheChange()
{
    QFETCH(QString, category);
    QFETCH(QString, newName);
    QFETCH(bool, remove);
    QFETCH(bool, noticed);

    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    db.addUser(QStringLiteral("Ctrl"), 0, 1, 0);
    const qint64 capitals = db.addCategory(QStringLiteral("Capitals"));
    db.addQuestion(capitals, QStringLiteral("Capital of France?"), QStringLiteral("Paris"));
    const qint64 rivers = db.addCategory(QStringLiteral("Rivers"));
    db.addQuestion(rivers, QStringLiteral("Longest river?"), QStringLiteral("Nile"));
    db.makeInstallDir();

    auto* link = new RecordingRoomLink;
    QuizNewt window(link);
    window.startPauseMs = 0;
    link->say(QStringLiteral("Ctrl: !start Capitals"));
    QCOMPARE(QuizNewtTestAccess::currentAnswer(window), QStringLiteral("Paris"));
    link->takePosts();

    const bool ran = runEditor(window, [&](dlgQuestionEditor& editor) {
        editor.cbCategory->setCurrentIndex(editor.cbCategory->findText(category));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        if (remove) {
            editor.pbCatDelete->click();
        } else {
            editor.cbCategory->lineEdit()->setText(newName);
            editor.pbCatUpdate->click();
        }
    });
    QVERIFY(ran);
    QCOMPARE(MessageBox::takeShown().size(), 1);

    const QString notice = QStringLiteral(
        "This category's name has been modified! Please restart with the updated category name (Type !categories)");
    QCOMPARE(link->takePosts(), noticed ? QStringList{notice} : QStringList{});
    QCOMPARE(QuizNewtTestAccess::currentAnswer(window),
             noticed ? QStringLiteral("No Answer") : QStringLiteral("Paris"));
}

void TestEditorGame::everyOpeningBuildsAFreshEditor()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    db.addCategory(QStringLiteral("Capitals"));
    db.addCategory(QStringLiteral("Rivers"));
    db.makeInstallDir();
    QuizNewt window(new RecordingRoomLink);

    QString firstShown;
    QString secondShown;
    QVERIFY(runEditor(window, [&](dlgQuestionEditor& editor) {
        editor.cbCategory->setCurrentIndex(1);
        firstShown = editor.cbCategory->currentText();
    }));
    QVERIFY(runEditor(window, [&](dlgQuestionEditor& editor) { secondShown = editor.cbCategory->currentText(); }));
    QCOMPARE(firstShown, QStringLiteral("Rivers"));
    QCOMPARE(secondShown, QStringLiteral("Capitals"));
}

QTEST_MAIN(TestEditorGame)
#include "tst_editorgame.moc"
