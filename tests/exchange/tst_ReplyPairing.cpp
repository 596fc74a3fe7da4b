#include "common/Telegrams.h"
#include "exchange/CReplyPairing.h"

#include <QRegularExpression>
#include <QtTest>

// Each row is what happened on the line, in order, written as words:
//   start, port, end   a button started an operation; the port changed; the
//                      operation asks nothing more (its last block is answered)
//   R5 W5 C30 E F      a request written (block 5, object 30)
//   D3:12.34           "D" for object 3 with bytes 4 and 5 of 12 and 34
//   *                  the request on the line written again
//   B5.7+  O3:1.2-  U+ a reply: "B" with byte 2 of 5 and every data byte 7, "O" about
//                      object 3 with bytes 4 and 5 (255 each when not given), "U";
//                      + taken, - dropped, ! shows the operation's answers shifted
//   ~B0                a reply that failed the receive checks (! as above)
//   <1B0-              the reply was read while the latest write had not gone out
class TestReplyPairing : public QObject {
    Q_OBJECT
private slots:
    void pairing_data();
    void pairing();
};

void TestReplyPairing::pairing_data() {
    QTest::addColumn<QString>("line");

    // An "O" about another object answers something else.
    QTest::newRow("read number, another object") << "start C30 O3- O30+";
    QTest::newRow("check, late answer about another object") << "start C3 O30- O30- O3:1.2+";
    QTest::newRow("write, another object") << "start C3 O3+ D3:12.34 O30:12.34- O3:12.34+";

    // A console that has echoed two blocks in a row, other than 0, in its answers to
    // one letter echoes it there: a "B" for another block answers something else.
    QTest::newRow("given-up read retried")
        << "start R0 B0+ R1 B1+ R2 B2+ R3 * * start R0 B3- B3- B3- B0+ R1 B1+";
    QTest::newRow("echo known, write") << "start W1 B1+ W2 B2+ start W7 B6- B7+";
    QTest::newRow("block 0 does not count") << "start R0 B0+ R1 B1+ start R5 B4+";
    QTest::newRow("one block does not make an echo") << "start R5 B5+ R6 B5+ R7 B5+";
    QTest::newRow("the same block twice does not either") << "start R5 B5+ start R5 B5+ R6 B5+";
    QTest::newRow("forgotten with the port") << "start R1 B1+ R2 B2+ port start R3 B2+";
    QTest::newRow("no echo: a late answer is taken") << "start R5 * * start R0 B5+";
    QTest::newRow("echo in reads, constant in writes")
        << "start R0 B0+ R1 B1+ R2 B2+ start W0 B0+ W1 B0+ W2 B0+";

    // Nothing read before a request went out is its answer.
    QTest::newRow("before the first request") << "start B0- R0 B0+";
    QTest::newRow("first request not out yet") << "start R0 <1B0- B0+";
    QTest::newRow("copy in the answer's read") << "start R0 B0+ R1 <1B0- B1+";
    QTest::newRow("read before the check") << "start C3 <1O3- O3:1.2+";
    QTest::newRow("read while the question was open")
        << "start C3 O3:1.2+ D3:12.34 <1O3:1.2- O3:12.34+";
    QTest::newRow("read before the repeat still answers") << "start E * <1U+";
    QTest::newRow("settings, late answer after the request") << "start E * * start F U.1+";
    QTest::newRow("same object, late answer after the request") << "start C3 * * start C3 O3+";

    // A console that answers once, however late, and whatever it puts in byte 2,
    // loses nothing.
    QTest::newRow("write of the number held") << "start C3 O3:12.34+ D3:12.34 O3:12.34+";
    QTest::newRow("255.255 to an object not learned") << "start C3 O3+ D3:255.255 O3+";
    QTest::newRow("constant 0, blocks alike, read") << "start R0 B0+ R1 B0+ R2 B0+";
    QTest::newRow("constant 0, blocks alike, write") << "start W0 B0+ W1 B0+";
    QTest::newRow("settings") << "start E U+ start F U+";
    QTest::newRow("first answer damaged, blocks alike") << "start R0 ~B0 * B0+ R1 B0+ R2 B0+ end";
    QTest::newRow("answers only repeats, blocks alike") << "start R0 * B0+ R1 * B0+ R2 * B0+ end";
    QTest::newRow("block repeated, no echo") << "start R0 * B0.3+ R1 B0.3+";
    QTest::newRow("block repeated twice, blocks alike")
        << "start R0 * * B0.3+ R1 B0.3+ R2 B0.3+ end";

    // Answers owed to the check's repeats are not taken for the write's.
    QTest::newRow("check repeated") << "start C3 * O3+ D3:12.34 O3- O3:12.34+";
    QTest::newRow("check repeated, its first answer damaged") << "start C3 ~O3 * O3+ D3:12.34 O3+";
    QTest::newRow("check repeated, write of the number it showed")
        << "start C3 * O3:12.34+ D3:12.34 O3:12.34+";
    QTest::newRow("owed answers end with the operation") << "start E * U+ start E U+";

    // A base operation that took an answer for another block finds out.
    QTest::newRow("another answer to the block before the next request went out")
        << "start R0 B5+ R1 <1B0!";
    QTest::newRow("echo shown later, an earlier block carried another")
        << "start R0 B5+ R1 B1+ R2 B2!";
    QTest::newRow("an answer after the last block") << "start R58 B57+ R59 B58+ end B59!";
    QTest::newRow("a copy read with the last answer") << "start R59 B0+ end <1B0- B0!";
    QTest::newRow("a damaged answer after the last block") << "start W59 B0+ end ~B0!";

    // Letters, and nothing after the answer.
    QTest::newRow("wrong letters") << "start C3 B0- U- R0 O0- U- E B0- O0- U+";
    QTest::newRow("one answer per request") << "start E U+ U- start R0 B0+ B0-";
}

void TestReplyPairing::pairing() {
    QFETCH(QString, line);
    static const QRegularExpression wordPattern(
        "^(?:<(\\d+))?([A-Z])(\\d*)(?:\\.(\\d+))?(?::(\\d+)\\.(\\d+))?([-+!]?)$");

    CReplyPairing pairing;
    for (const QString& word : line.split(' ')) {
        if (word == "start") {
            pairing.OnOperationStarted();
            continue;
        }
        if (word == "port") {
            pairing.OnPortChanged();
            continue;
        }
        if (word == "end") {
            pairing.OnAskingDone();
            continue;
        }
        if (word == "*") {
            pairing.OnRepeatWritten();
            continue;
        }
        const bool damaged = word.startsWith('~');
        const QRegularExpressionMatch match = wordPattern.match(word.mid(damaged ? 1 : 0));
        QVERIFY2(match.hasMatch(), qPrintable(word));
        Telegram telegram = BlankTelegram(match.captured(2).at(0).toLatin1());
        const int number = match.captured(3).toInt();
        const bool isObject = telegram[1] == 'O' || telegram[1] == 'C' || telegram[1] == 'D';
        if (isObject) {
            telegram[2] = uint8_t(number / 256);
            telegram[3] = uint8_t(number % 256);
            telegram[4] = match.captured(5).isEmpty() ? 255 : uint8_t(match.captured(5).toInt());
            telegram[5] = match.captured(6).isEmpty() ? 255 : uint8_t(match.captured(6).toInt());
        } else {
            telegram[2] = uint8_t(number);
            for (int i = 3; i < 23; ++i)
                telegram[i] = uint8_t(match.captured(4).toInt());
        }
        FrameTelegram(telegram);

        const QString verdict = match.captured(7);
        const uint64_t readAt = pairing.ReadPosition(match.captured(1).toUInt());
        if (!damaged && verdict.isEmpty()) {
            pairing.OnRequestWritten(telegram);
            continue;
        }
        if (damaged) {
            QVERIFY2(pairing.OnDamagedReply(telegram[1], readAt) == (verdict == "!"),
                     qPrintable(word));
            continue;
        }
        const ReplyJudgement judgement = pairing.Judge(telegram, readAt);
        const ReplyVerdict expected = verdict == "+"   ? ReplyVerdict::Taken
                                      : verdict == "!" ? ReplyVerdict::Shifted
                                                       : ReplyVerdict::Dropped;
        QVERIFY2(judgement.verdict == expected, qPrintable(word));
        // What is not taken comes with why, for the trace.
        QVERIFY2(!judgement.reason == (expected == ReplyVerdict::Taken), qPrintable(word));
    }
}

QTEST_APPLESS_MAIN(TestReplyPairing)
#include "tst_ReplyPairing.moc"
