#include "media/FolderLister.h"

#include "TestSupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// File names relative to the root, in the walk's order.
QStringList relative(const QString& root, const QStringList& files) {
    const QDir dir(root);
    QStringList names;
    for (const QString& file : files)
        names << dir.relativeFilePath(file);
    return names;
}

QStringList walk(FolderLister& lister) {
    lister.start();
    if (!lister.waitForFinished(60000))
        return {QStringLiteral("the walk did not finish")};
    return lister.files();
}

} // namespace

class TestFolderLister : public QObject {
    Q_OBJECT

private slots:
    void filters_data() {
        QTest::addColumn<QString>("ignored");
        QTest::addColumn<QString>("addOnly");
        QTest::addColumn<QStringList>("expected");
        const QStringList all{QStringLiteral("a.flac"), QStringLiteral("b.Mp3"),
                              QStringLiteral("c.wav"),  QStringLiteral("archive.tar.gz"),
                              QStringLiteral("noext"),  QStringLiteral(".hidden.mp3")};
        QTest::newRow("no filters") << QString() << QString() << all;
        QTest::newRow("ignored, any case")
            << QStringLiteral("flac;MP3") << QString()
            << QStringList{QStringLiteral("c.wav"), QStringLiteral("archive.tar.gz"),
                           QStringLiteral("noext")};
        QTest::newRow("add-only wins over ignored")
            << QStringLiteral("flac") << QStringLiteral("flac") << QStringList{QStringLiteral("a.flac")};
        QTest::newRow("add-only, several")
            << QString() << QStringLiteral("WAV;mp3")
            << QStringList{QStringLiteral("b.Mp3"), QStringLiteral("c.wav"), QStringLiteral(".hidden.mp3")};
        QTest::newRow("entry with a dot matches nothing") << QStringLiteral(".flac") << QString() << all;
        QTest::newRow("entry with a blank matches nothing")
            << QStringLiteral("flac; mp3") << QString()
            << QStringList{QStringLiteral("b.Mp3"), QStringLiteral("c.wav"), QStringLiteral("archive.tar.gz"),
                           QStringLiteral("noext"), QStringLiteral(".hidden.mp3")};
        QTest::newRow("last extension only")
            << QStringLiteral("tar") << QStringLiteral("gz") << QStringList{QStringLiteral("archive.tar.gz")};
    }

    void filters() {
        QFETCH(QString, ignored);
        QFETCH(QString, addOnly);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        for (const char* name : {"a.flac", "b.Mp3", "c.wav", "archive.tar.gz", "noext", ".hidden.mp3"})
            QVERIFY(TestSupport::touch(dir.filePath(QString::fromUtf8(name))));
        FolderLister lister;
        lister.setFolder(dir.path());
        lister.setIgnoredTypesText(ignored);
        lister.setAddOnlyTypesText(addOnly);
        QStringList found = relative(dir.path(), walk(lister));
        found.sort();
        expected.sort();
        QCOMPARE(found, expected);
        QCOMPARE(lister.outcome(), FolderLister::Outcome::Complete);
        QVERIFY(lister.exitMessage().isEmpty());
    }

    // A folder's own files come first; each sub-folder is walked completely before the next.
    void walkOrder() {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("A"));
        for (const char* name : {"x.mp3", "B/y.mp3", "B/C/z.mp3", "D/w.mp3", "D/v.mp3", "u.mp3"})
            QVERIFY(TestSupport::touch(QDir(root).filePath(QString::fromUtf8(name))));
        FolderLister lister;
        lister.setFolder(root);
        QSignalSpy finished(&lister, &FolderLister::finished);
        const QStringList files = relative(root, walk(lister));
        QCOMPARE(files.size(), 6);
        QCOMPARE(QSet<QString>(files.begin(), files.begin() + 2),
                 (QSet<QString>{QStringLiteral("x.mp3"), QStringLiteral("u.mp3")}));
        const qsizetype b = files.indexOf(QStringLiteral("B/y.mp3"));
        QCOMPARE(files.indexOf(QStringLiteral("B/C/z.mp3")), b + 1);
        const qsizetype d =
            qMin(files.indexOf(QStringLiteral("D/w.mp3")), files.indexOf(QStringLiteral("D/v.mp3")));
        QVERIFY(d == 2 || d == 4);
        QVERIFY(b == 2 || b == 4);
        QVERIFY(b != d);
        QVERIFY(QFileInfo(lister.files().first()).isAbsolute());
        QCOMPARE(lister.statusText().isEmpty(), false);
        QTRY_COMPARE(finished.size(), 1);
    }

    void missingFolder() {
        QTemporaryDir dir;
        FolderLister lister;
        lister.setFolder(dir.filePath(QStringLiteral("nothing here")));
        QVERIFY(walk(lister).isEmpty());
        QCOMPARE(lister.outcome(), FolderLister::Outcome::FolderMissing);
        QVERIFY(!lister.running());

        // A file is not a folder to walk.
        QVERIFY(TestSupport::touch(dir.filePath(QStringLiteral("file.mp3"))));
        lister.setFolder(dir.filePath(QStringLiteral("file.mp3")));
        QVERIFY(walk(lister).isEmpty());
        QCOMPARE(lister.outcome(), FolderLister::Outcome::FolderMissing);
    }

    // Links back to an ancestor or to a folder already walked are not followed again.
    void symbolicLinkLoops() {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("A"));
        QVERIFY(TestSupport::touch(root + QStringLiteral("/a.mp3")));
        QVERIFY(TestSupport::touch(root + QStringLiteral("/B/b.mp3")));
        QVERIFY(QFile::link(root, root + QStringLiteral("/B/up")));
        QVERIFY(QFile::link(root + QStringLiteral("/B"), root + QStringLiteral("/again")));
        QVERIFY(QFile::link(QStringLiteral("."), root + QStringLiteral("/B/self")));
        FolderLister lister;
        lister.setFolder(root);
        QStringList names;
        for (const QString& file : walk(lister))
            names << QFileInfo(file).fileName();
        names.sort();
        QCOMPARE(names, (QStringList{QStringLiteral("a.mp3"), QStringLiteral("b.mp3")}));
        QCOMPARE(lister.outcome(), FolderLister::Outcome::Complete);
    }

    void stopBeforeWalk() {
        QTemporaryDir dir;
        QVERIFY(TestSupport::touch(dir.filePath(QStringLiteral("a.mp3"))));
        FolderLister lister;
        lister.setFolder(dir.path());
        lister.setStop(true);
        QVERIFY(walk(lister).isEmpty());
        QCOMPARE(lister.outcome(), FolderLister::Outcome::Stopped);
    }

    // Stopping during a deep walk ends it early with exit code 1; whatever was
    // listed by then is a prefix of the complete walk.
    void stopDuringWalk() {
        QTemporaryDir dir;
        QString folder = dir.path();
        for (int depth = 0; depth < 60; ++depth) {
            folder += QStringLiteral("/level%1").arg(depth);
            for (int i = 0; i < 10; ++i)
                QVERIFY(TestSupport::touch(folder + QStringLiteral("/f%1.mp3").arg(i)));
        }
        FolderLister complete;
        complete.setFolder(dir.path());
        const QStringList all = walk(complete);
        QCOMPARE(all.size(), 600);

        FolderLister lister;
        lister.setFolder(dir.path());
        lister.start();
        lister.setStop(true);
        QVERIFY(lister.waitForFinished(60000));
        if (lister.outcome() == FolderLister::Outcome::Stopped)
            QCOMPARE(lister.files(), all.mid(0, lister.files().size()));
        else
            QCOMPARE(lister.files(), all);
    }
};

QTEST_GUILESS_MAIN(TestFolderLister)
#include "tst_folderlister.moc"
