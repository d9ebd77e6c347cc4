#include "media/FileInfoRows.h"
#include "media/RawFileInfoProcess.h"

#include "MediaFixtures.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList Headings(const QList<TFileInfoRow>& rows) {
    QStringList headings;
    for (const TFileInfoRow& row : rows)
        if (row.IsBold())
            headings << row.Key;
    return headings;
}

QString ValueOf(const QList<TFileInfoRow>& rows, const QString& key) {
    for (const TFileInfoRow& row : rows)
        if (row.Key == QStringLiteral("     ") + key)
            return row.Value;
    return QStringLiteral("<missing>");
}

bool RunToEnd(TRawFileInfoProcess& process, const QString& file) {
    QSignalSpy finished(&process, &TRawFileInfoProcess::Finished);
    process.Start(file);
    if (!process.IsBusy())
        return false;
    return finished.wait(60000) && finished.size() == 1 && !process.IsBusy();
}

} // namespace

Q_DECLARE_METATYPE(QList<TFileInfoRow>)

class TestRawFileInfo : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QString FFFprobe;
    QString FMp3WithCover;

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        FFFprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
        QVERIFY(!FFFprobe.isEmpty());
        FMp3WithCover = FDir.filePath(QStringLiteral("say \"hi\" -i 'x'.mp3"));
        QVERIFY(MediaFixtures::MakeMp3WithCovers(FMp3WithCover, {QStringLiteral("red")}));
    }

    void rows_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<TFileInfoRow>>("rows");
        QTest::newRow("comment, section, keys")
            << QStringList{QStringLiteral("# ffprobe output"), QString(), QStringLiteral("[format]"),
                           QStringLiteral("nb_streams=2"), QStringLiteral("format_name=mp3")}
            << QList<TFileInfoRow>{{QStringLiteral("format"), QString()},
                                   {QStringLiteral("     nb_streams"), QStringLiteral("2")},
                                   {QStringLiteral("     format_name"), QStringLiteral("mp3")}};
        QTest::newRow("value holding =") << QStringList{QStringLiteral("comment=a=b")}
                                         << QList<TFileInfoRow>{{QStringLiteral("comment=a=b"), QString()}};
        QTest::newRow("empty value") << QStringList{QStringLiteral("title=")}
                                     << QList<TFileInfoRow>{{QStringLiteral("     title"), QString()}};
        QTest::newRow("control characters trimmed")
            << QStringList{QStringLiteral(" \t key=v a \r"), QStringLiteral("\r\n"),
                           QStringLiteral("  # later")}
            << QList<TFileInfoRow>{{QStringLiteral("     key"), QStringLiteral("v a")}};
        QTest::newRow("brackets removed everywhere")
            << QStringList{QStringLiteral("[streams.stream.0.tags]"), QStringLiteral("x[1]")}
            << QList<TFileInfoRow>{{QStringLiteral("streams.stream.0.tags"), QString()},
                                   {QStringLiteral("x1"), QString()}};
    }

    void rows() {
        QFETCH(QStringList, lines);
        QFETCH(QList<TFileInfoRow>, rows);
        QCOMPARE(FileInfoRowsFromIniLines(lines), rows);
    }

    // The real tool on an MP3 with a cover: one heading per section, keys below them.
    void mp3WithCover() {
        TRawFileInfoProcess process(FFFprobe);
        QVERIFY(RunToEnd(process, FMp3WithCover));
        QCOMPARE(process.ErrorMsg(), QString());
        QCOMPARE(process.FileName(), FMp3WithCover);
        QVERIFY(process.DataLines().first().startsWith(u'#'));
        const QList<TFileInfoRow> rows = FileInfoRowsFromIniLines(process.DataLines());
        QCOMPARE(Headings(rows).join(u'|'),
                 (QStringList{
                      QStringLiteral("streams.stream.0"), QStringLiteral("streams.stream.0.disposition"),
                      QStringLiteral("streams.stream.0.tags"), QStringLiteral("streams.stream.1"),
                      QStringLiteral("streams.stream.1.disposition"), QStringLiteral("streams.stream.1.tags"),
                      QStringLiteral("format"), QStringLiteral("format.tags")})
                     .join(u'|'));
        QCOMPARE(rows.first().Key, QStringLiteral("streams.stream.0"));
        QCOMPARE(rows.at(1).Key, QStringLiteral("     index"));
        QCOMPARE(ValueOf(rows, QStringLiteral("codec_name")), QStringLiteral("mp3"));
        QCOMPARE(ValueOf(rows, QStringLiteral("filename")), FMp3WithCover);
        QCOMPARE(ValueOf(rows, QStringLiteral("nb_streams")), QStringLiteral("2"));

        // A second run starts from nothing.
        const QString flac = FDir.filePath(QStringLiteral("plain.flac"));
        QVERIFY(TestSupport::MakeTone(flac, 0.5));
        QVERIFY(RunToEnd(process, flac));
        const QList<TFileInfoRow> second = FileInfoRowsFromIniLines(process.DataLines());
        QCOMPARE(Headings(second).count(QStringLiteral("streams.stream.1")), 0);
        QCOMPARE(ValueOf(second, QStringLiteral("filename")), flac);
    }

    void failures_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("error");
        QTest::newRow("unreadable file")
            << FFFprobe << FDir.filePath(QStringLiteral("missing.mp3")) << QStringLiteral("Exit Code: 1");
        QTest::newRow("tool missing")
            << FDir.filePath(QStringLiteral("no-ffprobe")) << FMp3WithCover
            << QStringLiteral("Unable to run ") + FDir.filePath(QStringLiteral("no-ffprobe"));
        QTest::newRow("tool not found")
            << QString() << FMp3WithCover << QStringLiteral("Unable to run ffprobe: it was not found");
    }

    void failures() {
        QFETCH(QString, tool);
        QFETCH(QString, file);
        QFETCH(QString, error);
        TRawFileInfoProcess process(tool);
        QVERIFY(RunToEnd(process, file));
        QVERIFY2(process.ErrorMsg().startsWith(error), qPrintable(process.ErrorMsg()));
    }

    void stopEndsTheTool() {
        const QString slowTool = FDir.filePath(QStringLiteral("slow-probe"));
        QVERIFY(TestSupport::WriteScript(slowTool, "#!/bin/sh\nexec sleep 60\n"));
        TRawFileInfoProcess process(slowTool);
        QSignalSpy finished(&process, &TRawFileInfoProcess::Finished);
        process.Start(FMp3WithCover);
        QVERIFY(process.IsBusy());
        QTest::qWait(100);
        process.Stop();
        QVERIFY(finished.wait(10000));
        QVERIFY(!process.IsBusy());
        QCOMPARE(process.ErrorMsg(), QString());
    }
};

QTEST_GUILESS_MAIN(TestRawFileInfo)
#include "tst_rawfileinfo.moc"
