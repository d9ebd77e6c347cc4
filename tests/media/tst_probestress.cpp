// Probes many good and bad files in a row with one probe and one decoder, the
// way a long session adds them. CTest also runs this program under valgrind's
// memory checker, where any invalid access or leak fails it.

#include "media/FFmpegDecoder.h"
#include "media/FolderLister.h"
#include "media/ProbeWorker.h"

#include "MediaFixtures.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int GoodFileCount = 200;

} // namespace

class TestProbeStress : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_coverDir;
    QStringList m_goodFiles;
    QList<MediaFixtures::BadInput> m_badInputs;

    QStringList coverFiles() const { return QDir(m_coverDir.path()).entryList(QDir::Files); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_coverDir.isValid());
        const QDir dir(m_dir.path());
        dir.mkpath(QStringLiteral("bad"));
        dir.mkpath(QStringLiteral("good"));
        m_badInputs = MediaFixtures::makeBadInputs(dir.filePath(QStringLiteral("bad")));

        // A few kinds of file, copied many times over.
        QStringList kinds;
        const auto kind = [&](const char* name) {
            kinds << dir.filePath(QString::fromUtf8(name));
            return kinds.last();
        };
        QVERIFY(MediaFixtures::makeMp3WithCovers(kind("cover.mp3"), {QStringLiteral("red")}));
        QVERIFY(MediaFixtures::makeMp3WithCovers(kind("two covers.mp3"),
                                                 {QStringLiteral("red"), QStringLiteral("blue")}));
        QVERIFY(TestSupport::makeTone(kind("tone.flac"), 1.0));
        QVERIFY(TestSupport::makeTone(kind("tone.m4a"), 1.0, 48000, 2, QStringList({"-c:a", "aac"})));
        QVERIFY(MediaFixtures::makeFilmWithCover(kind("film.mkv"), QStringLiteral("green"),
                                                 QStringLiteral("red")));
        const QString half = kind("cut.flac");
        QVERIFY(TestSupport::makeTone(half, 2.0));
        QFile cut(half);
        QVERIFY(cut.open(QIODevice::ReadWrite) && cut.resize(cut.size() / 2));
        cut.close();

        for (int i = 0; i < GoodFileCount; ++i) {
            const QString source = kinds[i % kinds.size()];
            const QString copy = dir.filePath(QStringLiteral("good/%1 %2")
                                                  .arg(i, 3, 10, QLatin1Char('0'))
                                                  .arg(QFileInfo(source).fileName()));
            QVERIFY(QFile::copy(source, copy));
            m_goodFiles << copy;
        }
    }

    void manyFilesInARow() {
        FFmpegDecoder decoder;
        ProbeWorker probe(&decoder, m_coverDir.path());
        for (int round = 0; round < 2; ++round) {
            for (const MediaFixtures::BadInput& input : std::as_const(m_badInputs)) {
                probe.start(input.path);
                QVERIFY(probe.waitForFinished(60000));
                QVERIFY2(probe.errorText().startsWith(input.errorStart), qPrintable(probe.errorText()));
                QVERIFY(probe.audioStreams().isEmpty());
            }
            for (const QString& file : std::as_const(m_goodFiles)) {
                probe.start(file);
                QVERIFY(probe.waitForFinished(60000));
                QVERIFY2(probe.errorText().isEmpty(), qPrintable(probe.errorText()));
                QVERIFY(!probe.audioStreams().isEmpty());
                MediaFile media;
                media.filePath = file;
                media.audioStreams = probe.takeAudioStreams();
                media.coverArtStreams = probe.takeCoverArtStreams();
                media.deleteCoverArtTempFiles();
            }
        }
        QVERIFY(coverFiles().isEmpty());
    }

    // Runs cut short by Stop or by the next Start must not leave the decoder in use twice.
    void interruptedRuns() {
        ProbeWorker probe(nullptr, m_coverDir.path());
        for (int i = 0; i < 40; ++i) {
            probe.start(m_goodFiles[i]);
            if (i % 2)
                probe.stop();
            probe.start(m_goodFiles[i + 1]);
            if (i % 3 == 0)
                probe.stop();
        }
        QVERIFY(probe.waitForFinished(60000));
        probe.reset();
    }

    void walkTheFixtures() {
        FolderLister lister;
        lister.setFolder(m_dir.path());
        lister.setIgnoredTypesText(QStringLiteral("jpg"));
        lister.start();
        QVERIFY(lister.waitForFinished(60000));
        QCOMPARE(lister.outcome(), FolderLister::Outcome::Complete);
        QVERIFY(lister.files().size() >= GoodFileCount + m_badInputs.size() - 2);
    }

    void cleanupTestCase() {
        for (const QString& name : coverFiles())
            QFile::remove(QDir(m_coverDir.path()).filePath(name));
    }
};

QTEST_GUILESS_MAIN(TestProbeStress)
#include "tst_probestress.moc"
