#include "base/ConsoleLineAssembler.h"
#include "base/ConsoleRunner.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Read {
    QString line;
    bool startsOnNewLine;
};

// Runs `script` with /bin/sh -c and waits for the end on the event loop.
struct ShellRun {
    ConsoleRunner runner;
    QList<Read> reads;
    QSignalSpy terminated{&runner, &ConsoleRunner::onTerminate};

    ShellRun() {
        QObject::connect(&runner, &ConsoleRunner::onRead, &runner,
                         [this](ConsoleRunner*, const QString& line, bool startsOnNewLine) {
                             reads.append({line, startsOnNewLine});
                         });
    }
    void start(const QString& script) {
        runner.applicationName = QStringLiteral("/bin/sh");
        runner.arguments = QStringList{QStringLiteral("-c"), script};
        QVERIFY(runner.run());
    }
    quint32 waitForEnd() {
        if (terminated.isEmpty() && !terminated.wait(30000))
            return 0xDEADu;
        return terminated.first().at(1).value<quint32>();
    }
    QStringList readLines() const {
        QStringList lines;
        for (const Read& read : reads)
            lines << read.line;
        return lines;
    }
};

} // namespace

class TestConsoleRunner : public QObject {
    Q_OBJECT
private slots:
    // The byte rules of the line assembly, fed in the given chunks.
    void lineAssembly_data() {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("consoleOutput");
        QTest::addColumn<QStringList>("reads");

        QTest::newRow("CR LF ends a line like LF")
            << QList<QByteArray>{"a\r\nb\n"} << QStringList{"a", "b", ""} << QStringList{"a", "b", ""};
        QTest::newRow("CR rewrites one entry")
            << QList<QByteArray>{"frame=1 time=00:00:01.00\r", "frame=2 time=00:00:02.00\r"}
            << QStringList{"frame=2 time=00:00:02.00"}
            << QStringList{"frame=1 time=00:00:01.00", "frame=2 time=00:00:02.00"};
        QTest::newRow("shorter rewrite keeps the tail")
            << QList<QByteArray>{"12345\rab"} << QStringList{"ab345"} << QStringList{"ab345"};
        QTest::newRow("tab writes eight blanks at the cursor")
            << QList<QByteArray>{"abcdefghijk\rab\t"} << QStringList{"ab        k"}
            << QStringList{"ab        k"};
        QTest::newRow("backspace overwrites, never before the start")
            << QList<QByteArray>{"\b\babc\b\bX\n"} << QStringList{"aXc", ""} << QStringList{"aXc", ""};
        QTest::newRow("NUL and BEL read as blanks") << QList<QByteArray>{QByteArray("a\0b\x07"
                                                                                    "c\n",
                                                                                    6)}
                                                    << QStringList{"a b c", ""} << QStringList{"a b c", ""};
        QTest::newRow("a line continued in the next chunk")
            << QList<QByteArray>{"hel", "lo\nx"} << QStringList{"hello", "x"}
            << QStringList{"hel", "hello", "x"};
        QTest::newRow("UTF-8 character split between chunks")
            << QList<QByteArray>{"\xc3", "\xa9t\xc3\xa9\n"} << QStringList{QString::fromUtf8("été"), ""}
            << QStringList{QString(QChar::ReplacementCharacter), QString::fromUtf8("été"), ""};
    }
    void lineAssembly() {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QStringList, consoleOutput);
        QFETCH(QStringList, reads);
        QStringList output;
        QStringList seen;
        ConsoleLineAssembler assembler(output);
        assembler.setLineHandler([&](const QString& line, bool) { seen << line; });
        for (const QByteArray& chunk : chunks)
            assembler.feed(chunk);
        QCOMPARE(output, consoleOutput);
        QCOMPARE(seen, reads);
    }

    // Output is parsed in pieces of at most 1024 bytes, each emitted whole, so a
    // long line arrives more than once but stays one entry.
    void longLineIsOneEntry() {
        QStringList output;
        QList<qsizetype> lengths;
        ConsoleLineAssembler assembler(output);
        assembler.setLineHandler([&](const QString& line, bool) { lengths << line.size(); });
        assembler.feed(QByteArray(2500, 'x') + '\n');
        QCOMPARE(lengths, (QList<qsizetype>{1024, 2048, 2500, 0}));
        QCOMPARE(output.size(), 2);
        QCOMPARE(output.first().size(), 2500);
    }

    void progressRewritesFromAChild() {
        ShellRun run;
        run.start(QStringLiteral("printf 'frame=1 time=00:00:01.00\\r'; sleep 0.3; "
                                 "printf 'frame=2 time=00:00:02.00\\r'"));
        QCOMPARE(run.waitForEnd(), 0u);
        QCOMPARE(run.runner.consoleOutput, QStringList{"frame=2 time=00:00:02.00"});
        QVERIFY(run.readLines().contains("frame=1 time=00:00:01.00"));
        QCOMPARE(run.readLines().last(), QStringLiteral("frame=2 time=00:00:02.00"));
    }

    void errorOutputIsMerged() {
        ShellRun run;
        run.start(QStringLiteral("echo out; sleep 0.1; echo err >&2"));
        QCOMPARE(run.waitForEnd(), 0u);
        QVERIFY(run.runner.consoleOutput.contains("out"));
        QVERIFY(run.runner.consoleOutput.contains("err"));
    }

    void silentChild() {
        ShellRun run;
        run.start(QStringLiteral("exit 3"));
        QCOMPARE(run.waitForEnd(), 3u);
        QVERIFY(run.runner.consoleOutput.isEmpty());
        QVERIFY(run.reads.isEmpty());
        QCOMPARE(run.runner.state(), ConsoleRunner::State::Ready);
    }

    // The last text without a line feed comes once more when the output ends,
    // before the end is reported.
    void outputWithoutFinalLineFeed() {
        ShellRun run;
        QList<int> order; // 1 read, 2 end
        QObject::connect(&run.runner, &ConsoleRunner::onRead, &run.runner, [&] { order << 1; });
        QObject::connect(&run.runner, &ConsoleRunner::onTerminate, &run.runner, [&] { order << 2; });
        run.start(QStringLiteral("printf 'last words'"));
        QCOMPARE(run.waitForEnd(), 0u);
        QCOMPARE(run.runner.consoleOutput, QStringList{"last words"});
        QCOMPARE(run.readLines().last(), QStringLiteral("last words"));
        QVERIFY(run.readLines().size() >= 2);
        QCOMPARE(order.last(), 2);
        QCOMPARE(order.count(2), 1);
    }

    void childTerminatedByCallerEndsWithZero() {
        ShellRun run;
        run.start(QStringLiteral("echo started; exec sleep 60"));
        QTRY_VERIFY_WITH_TIMEOUT(run.runner.consoleOutput.contains("started"), 10000);
        QVERIFY(run.runner.processId() > 0);
        run.runner.terminate();
        QCOMPARE(run.waitForEnd(), 0u);
        QCOMPARE(run.runner.processId(), 0);
    }

    // A child killed by a signal nobody asked for is a failure, never a success.
    void crashedChildIsNotSuccess() {
        ShellRun run;
        run.start(QStringLiteral("kill -9 $$"));
        QCOMPARE(run.waitForEnd(), 128u + 9u);
    }

    void programThatCannotStart_data() {
        QTest::addColumn<QString>("program");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/velmo-no-such-tool");
        QTest::newRow("not executable") << QStringLiteral("plain-file");
        QTest::newRow("empty") << QString();
    }
    void programThatCannotStart() {
        QFETCH(QString, program);
        QTemporaryDir dir;
        if (program == QStringLiteral("plain-file")) {
            program = dir.filePath(program);
            QFile file(program);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\nexit 0\n");
        }
        ShellRun run;
        run.runner.applicationName = program;
        QVERIFY(run.runner.run());
        QCOMPARE(run.waitForEnd(), ConsoleRunner::StartFailedExitCode);
        QCOMPARE(run.terminated.size(), 1);
        QVERIFY(!run.runner.startError().isEmpty());
        QCOMPARE(run.runner.state(), ConsoleRunner::State::Ready);
        // The runner is usable again afterwards.
        run.terminated.clear();
        run.start(QStringLiteral("echo again"));
        QCOMPARE(run.waitForEnd(), 0u);
        QVERIFY(run.runner.startError().isEmpty());
        QVERIFY(run.runner.consoleOutput.contains("again"));
    }

    void runWhileRunningFails() {
        ShellRun run;
        run.start(QStringLiteral("exec sleep 60"));
        run.runner.applicationName = QStringLiteral("/bin/echo");
        QVERIFY(!run.runner.run());
        QCOMPARE(run.runner.errorString(),
                 QStringLiteral("Cannot perform this operation when process is running"));
        run.runner.terminate();
        QCOMPARE(run.waitForEnd(), 0u);
        QCOMPARE(run.terminated.size(), 1);
    }

    void childRunsAtIdlePriority() {
        ShellRun run;
        // Field 19 of the stat line is the nice value.
        run.start(QStringLiteral("cut -d' ' -f19 /proc/$$/stat; ionice -p $$"));
        QCOMPARE(run.waitForEnd(), 0u);
        QCOMPARE(run.runner.consoleOutput.value(0), QStringLiteral("19"));
        QCOMPARE(run.runner.consoleOutput.value(1), QStringLiteral("idle"));
    }

    void workingDirectory() {
        QTemporaryDir dir;
        ShellRun run;
        run.runner.currentDirectory = u' ' + dir.path() + u' ';
        run.start(QStringLiteral("pwd -P"));
        QCOMPARE(run.waitForEnd(), 0u);
        QCOMPARE(run.runner.consoleOutput.value(0), QFileInfo(dir.path()).canonicalFilePath());
    }
};

QTEST_GUILESS_MAIN(TestConsoleRunner)
#include "tst_consolerunner.moc"
