#include "TestSupport.h"
#include "engine/FileListModel.h"
#include "engine/LogModel.h"

#include <QAbstractItemModelTester>
#include <QtTest>

// The list and the window log as the views will see them: Qt's own model tester
// watches every change, and the rows, roles and cover pictures follow the calls.
class TestFileListModel : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;

    MediaFile file(const QString& name, QList<qint64> durations, const QString& cover = QString()) {
        MediaFile media;
        media.filePath = QDir(m_folder.path()).filePath(name);
        for (qint64 duration : durations) {
            AudioStream stream;
            stream.duration = duration;
            media.audioStreams.append(stream);
        }
        if (!cover.isEmpty()) {
            CoverArt picture;
            picture.tempFilePath = cover;
            media.coverArtStreams.append(picture);
        }
        return media;
    }

private slots:
    void rowsFollowTheCalls() {
        FileListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy totals(&model, &FileListModel::totalListTimeChanged);
        // A view learns of new and removed rows only through these signals.
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

        const QString cover = QDir(m_folder.path()).filePath(QStringLiteral("cover.jpg"));
        QVERIFY(TestSupport::writeFile(cover, "jpeg"));
        QCOMPARE(model.appendMediaFile(file(QStringLiteral("a.flac"), {61000}, cover)), 0);
        QCOMPARE(model.appendMediaFile(file(QStringLiteral("b.flac"), {2000, 3600000})), 1);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted.last().at(1).toInt(), 1);
        QCOMPARE(model.columnCount(), int(FileListModel::ColumnCount));
        QCOMPARE(model.totalListTime(), qint64(63000));
        QCOMPARE(totals.last().at(0).toLongLong(), qint64(63000));

        const QModelIndex duration = model.index(1, FileListModel::DurationColumn);
        QCOMPARE(duration.data().toString(), QStringLiteral("00:00:02"));
        QCOMPARE(model.index(1, FileListModel::StateColumn).data().toString(), QStringLiteral("Ready"));
        QCOMPARE(model.index(0, FileListModel::FileColumn).data(FileListModel::RowIconRole).toInt(),
                 int(RowIcon::Ready));

        // Another stream: the row and the whole list take its length.
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setSelectedAudioStream(1, 1);
        QVERIFY(!changed.isEmpty());
        QCOMPARE(duration.data().toString(), QStringLiteral("01:00:00"));
        QCOMPARE(model.summary(), QStringLiteral("2 files, 01:01:01 in length"));

        model.setRowState(0, RowIcon::Failed, QStringLiteral("Error"));
        QCOMPARE(model.index(0, FileListModel::StateColumn).data().toString(), QStringLiteral("Error"));
        QCOMPARE(model.index(0, FileListModel::FileColumn).data(FileListModel::RowIconRole).toInt(),
                 int(RowIcon::Failed));

        // Removing a row takes its extracted cover picture along.
        model.removeMediaFile(0);
        QVERIFY(!QFileInfo::exists(cover));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.first().at(1).toInt(), 0);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.totalListTime(), qint64(3600000));
        QCOMPARE(model.index(0, FileListModel::StateColumn).data().toString(), QStringLiteral("Ready"));

        model.clear();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.summary(), QStringLiteral("0 files, 00:00:00 in length"));
    }

    // Calls for rows outside the list change nothing, and a stream position
    // outside the file's streams counts as no length instead of failing.
    void rowsOutsideTheListAreIgnored() {
        FileListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.appendMediaFile(file(QStringLiteral("a.flac"), {1000}));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setRowState(5, RowIcon::Done, QStringLiteral("Done"));
        model.setRowText(-1, QStringLiteral("Done"));
        model.setSelectedAudioStream(3, 0);
        model.removeMediaFile(7);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(model.rowCount(), 1);

        model.setSelectedAudioStream(0, 4);
        QCOMPARE(model.rowDuration(0), qint64(0));
        QCOMPARE(model.totalListTime(), qint64(0));
        QVERIFY(!model.index(0, 99).data().isValid());
    }

    void logEntriesReachTheModelAndTheSignal() {
        LogModel log;
        QAbstractItemModelTester tester(&log, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy added(&log, &LogModel::entryAdded);
        log.add(QStringLiteral("Starting encoding."), MessageKind::Info);
        log.add(QStringLiteral("Skipping 1 files."), MessageKind::Warning);
        QCOMPARE(log.rowCount(), 2);
        QCOMPARE(added.count(), 2);
        QCOMPARE(added.last().at(0).value<LogEntry>().kind, MessageKind::Warning);
        const QModelIndex second = log.index(1);
        QCOMPARE(second.data().toString(), QStringLiteral("Skipping 1 files."));
        QCOMPARE(second.data(LogModel::KindRole).toInt(), int(MessageKind::Warning));
        QVERIFY(second.data(LogModel::DateRole).toDateTime().isValid());
        QCOMPARE(messageKindText(log.entries().first().kind), QStringLiteral("Info"));
    }
};

QTEST_GUILESS_MAIN(TestFileListModel)
#include "tst_filelistmodel.moc"
