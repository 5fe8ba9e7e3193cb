// What members receive: the lines a text becomes, and how the send queue
// shares the room among them.

#include <QTest>

#include "roomlink/sendqueue.h"

using Lines = QList<QByteArray>;

class TestReplies : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Bold as the member sees it; "*" stands for the bold code.
    void bold_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("wire");
        QTest::newRow("help: opening tag alone on its line")
            << "<b>\n(O) Commands (O)\n!q\n!about</b>" << "*(O) Commands (O)|*!q|*!about";
        QTest::newRow("bold closed mid-text, opened again") << "<b>a\nb</b> c\n<b>d</b>" << "*a|*b* c|*d";
        QTest::newRow("tags and blanks only") << "\n<b> </b>\n</b>\n  \n" << "";
        QTest::newRow("raw bold codes cannot unbalance") << "\x02x<b>y" << "x*y";
    }
    void bold()
    {
        QFETCH(QString, text);
        QStringList got;
        for (const QByteArray& line : buildPrivmsgLines(text, "bob"))
            got.append(QString::fromUtf8(line.mid(13).chopped(2)).replace(QChar(0x02), QLatin1Char('*')));
        QTEST(got.join(QLatin1Char('|')), "wire");
    }

    // A bold line cut in two stays bold in its second piece.
    void boldAcrossACut()
    {
        const Lines lines = buildPrivmsgLines("<b>" + QString(600, 'a'), "bob");
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith("PRIVMSG bob :\x02" "a") && lines.at(1).startsWith("PRIVMSG bob :\x02" "a"));
    }
};

QTEST_GUILESS_MAIN(TestReplies)
#include "tst_replies.moc"
