#include "TestSupport.h"
#include "base/ConsoleLineAssembler.h"
#include "base/ConsoleRunner.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

using namespace std::chrono_literals;

namespace {

struct TRead {
    QString Line;
    bool StartsOnNewLine;
};

// Runs `script` with /bin/sh -c and waits for the end on the event loop.
struct TShellRun {
    TConsoleRunner Runner;
    QList<TRead> Reads;
    QSignalSpy Terminated{&Runner, &TConsoleRunner::OnTerminate};

    TShellRun() {
        QObject::connect(&Runner, &TConsoleRunner::OnRead, &Runner,
                         [this](TConsoleRunner*, const QString& line, bool startsOnNewLine) {
                             Reads.append({line, startsOnNewLine});
                         });
    }
    void Start(const QString& script) {
        Runner.ApplicationName = QStringLiteral("/bin/sh");
        Runner.Arguments = QStringList{QStringLiteral("-c"), script};
        QVERIFY(Runner.Run());
    }
    quint32 WaitForEnd() {
        if (Terminated.isEmpty() && !Terminated.wait(30000))
            return 0xDEADu;
        return Terminated.first().at(1).value<quint32>();
    }
    QStringList ReadLines() const {
        QStringList lines;
        for (const TRead& read : Reads)
            lines << read.Line;
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
        TConsoleLineAssembler assembler(output);
        assembler.SetLineHandler([&](const QString& line, bool) { seen << line; });
        for (const QByteArray& chunk : chunks)
            assembler.Feed(chunk);
        QCOMPARE(output, consoleOutput);
        QCOMPARE(seen, reads);
    }

    // Output is parsed in pieces of at most 1024 bytes, each emitted whole, so a
    // long line arrives more than once but stays one entry.
    void longLineIsOneEntry() {
        QStringList output;
        QList<qsizetype> lengths;
        TConsoleLineAssembler assembler(output);
        assembler.SetLineHandler([&](const QString& line, bool) { lengths << line.size(); });
        assembler.Feed(QByteArray(2500, 'x') + '\n');
        QCOMPARE(lengths, (QList<qsizetype>{1024, 2048, 2500, 0}));
        QCOMPARE(output.size(), 2);
        QCOMPARE(output.first().size(), 2500);
    }

    void progressRewritesFromAChild() {
        TShellRun run;
        run.Start(QStringLiteral("printf 'frame=1 time=00:00:01.00\\r'; sleep 0.3; "
                                 "printf 'frame=2 time=00:00:02.00\\r'"));
        QCOMPARE(run.WaitForEnd(), 0u);
        QCOMPARE(run.Runner.ConsoleOutput, QStringList{"frame=2 time=00:00:02.00"});
        QVERIFY(run.ReadLines().contains("frame=1 time=00:00:01.00"));
        QCOMPARE(run.ReadLines().last(), QStringLiteral("frame=2 time=00:00:02.00"));
    }

    void errorOutputIsMerged() {
        TShellRun run;
        run.Start(QStringLiteral("echo out; sleep 0.1; echo err >&2"));
        QCOMPARE(run.WaitForEnd(), 0u);
        QVERIFY(run.Runner.ConsoleOutput.contains("out"));
        QVERIFY(run.Runner.ConsoleOutput.contains("err"));
    }

    void silentChild() {
        TShellRun run;
        run.Start(QStringLiteral("exit 3"));
        QCOMPARE(run.WaitForEnd(), 3u);
        QVERIFY(run.Runner.ConsoleOutput.isEmpty());
        QVERIFY(run.Reads.isEmpty());
        QCOMPARE(run.Runner.State(), TConsoleRunner::TState::Ready);
    }

    // The last text without a line feed comes once more when the output ends,
    // before the end is reported.
    void outputWithoutFinalLineFeed() {
        TShellRun run;
        QList<int> order; // 1 read, 2 end
        QObject::connect(&run.Runner, &TConsoleRunner::OnRead, &run.Runner, [&] { order << 1; });
        QObject::connect(&run.Runner, &TConsoleRunner::OnTerminate, &run.Runner, [&] { order << 2; });
        run.Start(QStringLiteral("printf 'last words'"));
        QCOMPARE(run.WaitForEnd(), 0u);
        QCOMPARE(run.Runner.ConsoleOutput, QStringList{"last words"});
        QCOMPARE(run.ReadLines().last(), QStringLiteral("last words"));
        QVERIFY(run.ReadLines().size() >= 2);
        QCOMPARE(order.last(), 2);
        QCOMPARE(order.count(2), 1);
    }

    void childTerminatedByCallerEndsWithZero() {
        TShellRun run;
        run.Start(QStringLiteral("echo started; exec sleep 60"));
        QTRY_VERIFY_WITH_TIMEOUT(run.Runner.ConsoleOutput.contains("started"), 10000);
        QVERIFY(run.Runner.ProcessId() > 0);
        run.Runner.Terminate();
        QCOMPARE(run.WaitForEnd(), 0u);
        QCOMPARE(run.Runner.ProcessId(), 0);
    }

    // A child killed by a signal nobody asked for is a failure, never a success.
    void crashedChildIsNotSuccess() {
        TShellRun run;
        run.Start(QStringLiteral("kill -9 $$"));
        QCOMPARE(run.WaitForEnd(), 128u + 9u);
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
        TShellRun run;
        run.Runner.ApplicationName = program;
        QVERIFY(run.Runner.Run());
        QCOMPARE(run.WaitForEnd(), TConsoleRunner::StartFailedExitCode);
        QCOMPARE(run.Terminated.size(), 1);
        QVERIFY(!run.Runner.StartError().isEmpty());
        QCOMPARE(run.Runner.State(), TConsoleRunner::TState::Ready);
        // The runner is usable again afterwards.
        run.Terminated.clear();
        run.Start(QStringLiteral("echo again"));
        QCOMPARE(run.WaitForEnd(), 0u);
        QVERIFY(run.Runner.StartError().isEmpty());
        QVERIFY(run.Runner.ConsoleOutput.contains("again"));
    }

    void runWhileRunningFails() {
        TShellRun run;
        run.Start(QStringLiteral("exec sleep 60"));
        run.Runner.ApplicationName = QStringLiteral("/bin/echo");
        QVERIFY(!run.Runner.Run());
        QCOMPARE(run.Runner.ErrorString(),
                 QStringLiteral("Cannot perform this operation when process is running"));
        run.Runner.Terminate();
        QCOMPARE(run.WaitForEnd(), 0u);
        QCOMPARE(run.Terminated.size(), 1);
    }

    void childRunsAtIdlePriority() {
        TShellRun run;
        // Field 19 of the stat line is the nice value.
        run.Start(QStringLiteral("cut -d' ' -f19 /proc/$$/stat; ionice -p $$"));
        QCOMPARE(run.WaitForEnd(), 0u);
        QCOMPARE(run.Runner.ConsoleOutput.value(0), QStringLiteral("19"));
        QCOMPARE(run.Runner.ConsoleOutput.value(1), QStringLiteral("idle"));
    }

    void workingDirectory() {
        QTemporaryDir dir;
        TShellRun run;
        run.Runner.CurrentDirectory = u' ' + dir.path() + u' ';
        run.Start(QStringLiteral("pwd -P"));
        QCOMPARE(run.WaitForEnd(), 0u);
        QCOMPARE(run.Runner.ConsoleOutput.value(0), QFileInfo(dir.path()).canonicalFilePath());
    }

    void runAndWait_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<quint32>("exitCode");
        QTest::newRow("exit code") << QStringLiteral("/bin/sh -c \"exit 5\"") << 5u;
        QTest::newRow("output thrown away")
            << QStringLiteral("/bin/sh -c \"head -c 1000000 /dev/zero; exit 0\"") << 0u;
        QTest::newRow("missing program")
            << QStringLiteral("\"/nonexistent dir/tool\" a b") << TConsoleRunner::StartFailedExitCode;
        QTest::newRow("empty text") << QString() << TConsoleRunner::StartFailedExitCode;
    }
    void runAndWait() {
        QFETCH(QString, commandLine);
        QFETCH(quint32, exitCode);
        QCOMPARE(RunAndWait(commandLine), exitCode);
    }

    // A program in a folder with blanks is one quoted first token.
    void runAndWaitQuotedProgram() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("with blank")));
        const QString script = dir.filePath(QStringLiteral("with blank/tool"));
        QVERIFY(TestSupport::WriteScript(script, "#!/bin/sh\n[ \"$1\" = \"a b\" ] && exit 7\nexit 1\n"));
        QCOMPARE(RunAndWait(u'"' + script + QStringLiteral("\" \"a b\"")), 7u);
    }

    void runAndWaitAbort() {
        std::atomic_bool abort{true}; // cleared at the start
        std::thread aborter([&] {
            std::this_thread::sleep_for(300ms);
            abort = true;
        });
        const quint32 result = RunAndWait(QStringLiteral("/bin/sleep 60"), &abort);
        aborter.join();
        QCOMPARE(result, RunAndWaitAbortedExitCode);
    }
};

QTEST_GUILESS_MAIN(TestConsoleRunner)
#include "tst_consolerunner.moc"
