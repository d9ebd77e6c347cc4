// Probes many good and bad files in a row with one probe and one decoder, the
// way a long session adds them. CTest also runs this program under valgrind's
// memory checker, where any invalid access or leak fails it.

#include "media/FFDecoder.h"
#include "media/FileInfoThread.h"
#include "media/FileListThread.h"

#include "MediaFixtures.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int GoodFileCount = 200;

QStringList Args(std::initializer_list<const char*> args) {
    QStringList list;
    for (const char* arg : args)
        list << QString::fromUtf8(arg);
    return list;
}

} // namespace

class TestProbeStress : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QTemporaryDir FCoverDir;
    QStringList FGoodFiles;
    QList<MediaFixtures::TBadInput> FBadInputs;

    QStringList CoverFiles() const { return QDir(FCoverDir.path()).entryList(QDir::Files); }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        QVERIFY(FCoverDir.isValid());
        const QDir dir(FDir.path());
        dir.mkpath(QStringLiteral("bad"));
        dir.mkpath(QStringLiteral("good"));
        FBadInputs = MediaFixtures::MakeBadInputs(dir.filePath(QStringLiteral("bad")));

        // A few kinds of file, copied many times over.
        QStringList kinds;
        const auto kind = [&](const char* name) {
            kinds << dir.filePath(QString::fromUtf8(name));
            return kinds.last();
        };
        QVERIFY(MediaFixtures::MakeMp3WithCovers(kind("cover.mp3"), {QStringLiteral("red")}));
        QVERIFY(MediaFixtures::MakeMp3WithCovers(kind("two covers.mp3"),
                                                 {QStringLiteral("red"), QStringLiteral("blue")}));
        QVERIFY(TestSupport::MakeTone(kind("tone.flac"), 1.0));
        QVERIFY(TestSupport::MakeTone(kind("tone.m4a"), 1.0, 48000, 2, Args({"-c:a", "aac"})));
        QVERIFY(MediaFixtures::MakeFilmWithCover(kind("film.mkv"), QStringLiteral("green"),
                                                 QStringLiteral("red")));
        const QString half = kind("cut.flac");
        QVERIFY(TestSupport::MakeTone(half, 2.0));
        QFile cut(half);
        QVERIFY(cut.open(QIODevice::ReadWrite) && cut.resize(cut.size() / 2));
        cut.close();

        for (int i = 0; i < GoodFileCount; ++i) {
            const QString source = kinds[i % kinds.size()];
            const QString copy = dir.filePath(QStringLiteral("good/%1 %2")
                                                  .arg(i, 3, 10, QLatin1Char('0'))
                                                  .arg(QFileInfo(source).fileName()));
            QVERIFY(QFile::copy(source, copy));
            FGoodFiles << copy;
        }
    }

    void manyFilesInARow() {
        TFFDecoder decoder;
        TFileInfoThread probe(QString(), &decoder, FCoverDir.path());
        for (int round = 0; round < 2; ++round) {
            for (const MediaFixtures::TBadInput& input : std::as_const(FBadInputs)) {
                probe.Start(input.Path);
                QVERIFY(probe.WaitForFinished(60000));
                QVERIFY2(probe.ErrorMsg().startsWith(input.ErrorStart), qPrintable(probe.ErrorMsg()));
                QVERIFY(probe.AudioStreams().isEmpty());
            }
            for (const QString& file : std::as_const(FGoodFiles)) {
                probe.Start(file);
                QVERIFY(probe.WaitForFinished(60000));
                QVERIFY2(probe.ErrorMsg().isEmpty(), qPrintable(probe.ErrorMsg()));
                QVERIFY(!probe.AudioStreams().isEmpty());
                TMediaFile media;
                media.FilePath = file;
                media.AudioStreams = probe.TakeAudioStreams();
                media.ArtworkStreams = probe.TakeArtkworkStreams();
                media.DeleteCoverArtTempFiles();
            }
        }
        QVERIFY(CoverFiles().isEmpty());
    }

    // Runs cut short by Stop or by the next Start must not leave the decoder in use twice.
    void interruptedRuns() {
        TFileInfoThread probe(QString(), nullptr, FCoverDir.path());
        for (int i = 0; i < 40; ++i) {
            probe.Start(FGoodFiles[i]);
            if (i % 2)
                probe.Stop();
            probe.Start(FGoodFiles[i + 1]);
            if (i % 3 == 0)
                probe.Stop();
        }
        QVERIFY(probe.WaitForFinished(60000));
        probe.Reset();
    }

    void walkTheFixtures() {
        TFileListThread lister;
        lister.SetFolder(FDir.path());
        lister.SetIgnoredFileTypesStr(QStringLiteral("jpg"));
        lister.Start();
        QVERIFY(lister.WaitForFinished(60000));
        QCOMPARE(lister.ExitCode(), 0);
        QVERIFY(lister.Files().size() >= GoodFileCount + FBadInputs.size() - 2);
    }

    void cleanupTestCase() {
        for (const QString& name : CoverFiles())
            QFile::remove(QDir(FCoverDir.path()).filePath(name));
    }
};

QTEST_GUILESS_MAIN(TestProbeStress)
#include "tst_probestress.moc"
