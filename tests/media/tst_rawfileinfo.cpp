#include "media/FileInfoRows.h"
#include "media/RawFileInfoProcess.h"

#include "MediaFixtures.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList headings(const QList<FileInfoRow>& rows) {
    QStringList headings;
    for (const FileInfoRow& row : rows)
        if (row.isBold())
            headings << row.key;
    return headings;
}

QString valueOf(const QList<FileInfoRow>& rows, const QString& key) {
    for (const FileInfoRow& row : rows)
        if (row.key == QStringLiteral("     ") + key)
            return row.value;
    return QStringLiteral("<missing>");
}

bool runToEnd(RawFileInfoProcess& process, const QString& file) {
    QSignalSpy finished(&process, &RawFileInfoProcess::finished);
    process.start(file);
    if (!process.isBusy())
        return false;
    return finished.wait(60000) && finished.size() == 1 && !process.isBusy();
}

} // namespace

Q_DECLARE_METATYPE(QList<FileInfoRow>)

class TestRawFileInfo : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_ffprobe;
    QString m_mp3WithCover;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
        QVERIFY(!m_ffprobe.isEmpty());
        m_mp3WithCover = m_dir.filePath(QStringLiteral("say \"hi\" -i 'x'.mp3"));
        QVERIFY(MediaFixtures::makeMp3WithCovers(m_mp3WithCover, {QStringLiteral("red")}));
    }

    void rows_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<FileInfoRow>>("rows");
        QTest::newRow("comment, section, keys")
            << QStringList{QStringLiteral("# ffprobe output"), QString(), QStringLiteral("[format]"),
                           QStringLiteral("nb_streams=2"), QStringLiteral("format_name=mp3")}
            << QList<FileInfoRow>{{QStringLiteral("format"), QString()},
                                  {QStringLiteral("     nb_streams"), QStringLiteral("2")},
                                  {QStringLiteral("     format_name"), QStringLiteral("mp3")}};
        QTest::newRow("value holding =") << QStringList{QStringLiteral("comment=a=b")}
                                         << QList<FileInfoRow>{{QStringLiteral("comment=a=b"), QString()}};
        QTest::newRow("empty value") << QStringList{QStringLiteral("title=")}
                                     << QList<FileInfoRow>{{QStringLiteral("     title"), QString()}};
        QTest::newRow("control characters trimmed")
            << QStringList{QStringLiteral(" \t key=v a \r"), QStringLiteral("\r\n"),
                           QStringLiteral("  # later")}
            << QList<FileInfoRow>{{QStringLiteral("     key"), QStringLiteral("v a")}};
        QTest::newRow("brackets removed everywhere")
            << QStringList{QStringLiteral("[streams.stream.0.tags]"), QStringLiteral("x[1]")}
            << QList<FileInfoRow>{{QStringLiteral("streams.stream.0.tags"), QString()},
                                  {QStringLiteral("x1"), QString()}};
    }

    void rows() {
        QFETCH(QStringList, lines);
        QFETCH(QList<FileInfoRow>, rows);
        QCOMPARE(fileInfoRowsFromIniLines(lines), rows);
    }

    // The real tool on an MP3 with a cover: one heading per section, keys below them.
    void mp3WithCover() {
        RawFileInfoProcess process(m_ffprobe);
        QVERIFY(runToEnd(process, m_mp3WithCover));
        QCOMPARE(process.errorText(), QString());
        QCOMPARE(process.fileName(), m_mp3WithCover);
        QVERIFY(process.dataLines().first().startsWith(u'#'));
        const QList<FileInfoRow> rows = fileInfoRowsFromIniLines(process.dataLines());
        QCOMPARE(headings(rows).join(u'|'),
                 (QStringList{
                      QStringLiteral("streams.stream.0"), QStringLiteral("streams.stream.0.disposition"),
                      QStringLiteral("streams.stream.0.tags"), QStringLiteral("streams.stream.1"),
                      QStringLiteral("streams.stream.1.disposition"), QStringLiteral("streams.stream.1.tags"),
                      QStringLiteral("format"), QStringLiteral("format.tags")})
                     .join(u'|'));
        QCOMPARE(rows.first().key, QStringLiteral("streams.stream.0"));
        QCOMPARE(rows.at(1).key, QStringLiteral("     index"));
        QCOMPARE(valueOf(rows, QStringLiteral("codec_name")), QStringLiteral("mp3"));
        QCOMPARE(valueOf(rows, QStringLiteral("filename")), m_mp3WithCover);
        QCOMPARE(valueOf(rows, QStringLiteral("nb_streams")), QStringLiteral("2"));

        // A second run starts from nothing.
        const QString flac = m_dir.filePath(QStringLiteral("plain.flac"));
        QVERIFY(TestSupport::makeTone(flac, 0.5));
        QVERIFY(runToEnd(process, flac));
        const QList<FileInfoRow> second = fileInfoRowsFromIniLines(process.dataLines());
        QCOMPARE(headings(second).count(QStringLiteral("streams.stream.1")), 0);
        QCOMPARE(valueOf(second, QStringLiteral("filename")), flac);
    }

    void failures_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("error");
        QTest::newRow("unreadable file")
            << m_ffprobe << m_dir.filePath(QStringLiteral("missing.mp3")) << QStringLiteral("Exit Code: 1");
        QTest::newRow("tool missing")
            << m_dir.filePath(QStringLiteral("no-ffprobe")) << m_mp3WithCover
            << QStringLiteral("Unable to run ") + m_dir.filePath(QStringLiteral("no-ffprobe"));
        QTest::newRow("tool not found")
            << QString() << m_mp3WithCover << QStringLiteral("Unable to run ffprobe: it was not found");
    }

    void failures() {
        QFETCH(QString, tool);
        QFETCH(QString, file);
        QFETCH(QString, error);
        RawFileInfoProcess process(tool);
        QVERIFY(runToEnd(process, file));
        QVERIFY2(process.errorText().startsWith(error), qPrintable(process.errorText()));
    }

    void stopEndsTheTool() {
        const QString slowTool = m_dir.filePath(QStringLiteral("slow-probe"));
        QVERIFY(TestSupport::writeScript(slowTool, "#!/bin/sh\nexec sleep 60\n"));
        RawFileInfoProcess process(slowTool);
        QSignalSpy finished(&process, &RawFileInfoProcess::finished);
        process.start(m_mp3WithCover);
        QVERIFY(process.isBusy());
        QTest::qWait(100);
        process.stop();
        QVERIFY(finished.wait(10000));
        QVERIFY(!process.isBusy());
        QCOMPARE(process.errorText(), QString());
    }
};

QTEST_GUILESS_MAIN(TestRawFileInfo)
#include "tst_rawfileinfo.moc"
