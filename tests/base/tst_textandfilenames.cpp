#include "base/CommandLineSplit.h"
#include "base/FileNames.h"
#include "base/ProgramVersion.h"
#include "base/TextFormat.h"
#include "engine/OutputPath.h"
#include "settings/ProgramSettings.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestTextAndFileNames : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void outputPath_data();
    void outputPath();
    void formatDuration_data();
    void formatDuration();
    void formatByteSize_data();
    void formatByteSize();
    void formatByteSizeUsesUserSeparator();
    void extension_data();
    void extension();
    void uniqueFileName();
    void parseFloatText_data();
    void parseFloatText();
    void makeValidFileName();
    void olderThanDays_data();
    void olderThanDays();
    void olderThanDaysOfMissingFile();
    void extensionLists_data();
    void extensionLists();
    void textInList();
    void threadCountCeiling_data();
    void threadCountCeiling();
    void timeStampText();
    void fileVersionBuild();
    void splitCommandLine_data();
    void splitCommandLine();
};

void TestTextAndFileNames::outputPath_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("outputFolder");
    QTest::addColumn<bool>("sameAsSource");
    QTest::addColumn<bool>("folderTree");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("formatName");
    QTest::addColumn<QString>("expected");

    QTest::newRow("flat") << "/home/u/Music/Album/a.flac"
                          << "/out" << false << false << ".mp3"
                          << "Mp3"
                          << "/out/Mp3/a.mp3";
    QTest::newRow("folder tree") << "/home/u/Music/Album/a.flac"
                                 << "/out" << false << true << ".mp3"
                                 << "Mp3"
                                 << "/out/Mp3/home/u/Music/Album/a.mp3";
    QTest::newRow("format name with a blank") << "/m/a.flac"
                                              << "/out" << false << false << ".ogg"
                                              << "Ogg Vorbis"
                                              << "/out/Ogg Vorbis/a.ogg";
    QTest::newRow("no extension") << "/m/track"
                                  << "/out" << false << false << ".mp3"
                                  << "Mp3"
                                  << "/out/Mp3/track.mp3";
    QTest::newRow("two dots") << "/m/a.b.flac"
                              << "/out" << false << false << ".mp3"
                              << "Mp3"
                              << "/out/Mp3/a.b.mp3";
    QTest::newRow("dot in a folder name only") << "/m/v1.0/track"
                                               << "/out" << false << false << ".mp3"
                                               << "Mp3"
                                               << "/out/Mp3/track.mp3";
    QTest::newRow("source in the root, tree") << "/a.flac"
                                              << "/out" << false << true << ".wav"
                                              << "WAV"
                                              << "/out/WAV/a.wav";
    QTest::newRow("same as source") << "/m/x/a.flac"
                                    << "/ignored" << true << false << ".m4a"
                                    << "ALAC"
                                    << "/m/x/ALAC/a.m4a";
    QTest::newRow("same as source with tree") << "/m/x/a.flac"
                                              << "/ignored" << true << true << ".m4a"
                                              << "AAC"
                                              << "/m/x/AAC/m/x/a.m4a";
    QTest::newRow("output folder with trailing slash") << "/m/a.flac"
                                                       << "/out/" << false << false << ".mp3"
                                                       << "Mp3"
                                                       << "/out//Mp3/a.mp3";
    QTest::newRow("odd characters kept") << "/m/%INPUT% \"q\"/-a:b\\.flac"
                                         << "/out" << false << true << ".mp3"
                                         << "Mp3"
                                         << "/out/Mp3/m/%INPUT% \"q\"/-a:b\\.mp3";
    QTest::newRow("dot-dot cannot leave the format folder") << "/../../etc/x/../a.flac"
                                                            << "/out" << false << true << ".mp3"
                                                            << "Mp3"
                                                            << "/out/Mp3/etc/a.mp3";
}

void TestTextAndFileNames::outputPath() {
    QFETCH(QString, source);
    QFETCH(QString, outputFolder);
    QFETCH(bool, sameAsSource);
    QFETCH(bool, folderTree);
    QFETCH(QString, extension);
    QFETCH(QString, formatName);
    QFETCH(QString, expected);
    QCOMPARE(outputFilePath(source, outputFolder, sameAsSource, folderTree, extension, formatName), expected);
}

void TestTextAndFileNames::formatDuration_data() {
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << qint64(0) << "00:00:00";
    QTest::newRow("negative") << qint64(-5) << "00:00:00";
    QTest::newRow("59 s") << qint64(59) << "00:00:59";
    QTest::newRow("one hour") << qint64(3600) << "01:00:00";
    QTest::newRow("1:02:05") << qint64(3725) << "01:02:05";
    QTest::newRow("a day and more") << qint64(25 * 3600 + 61) << "25:01:01";
    QTest::newRow("100 hours") << qint64(360000) << "100:00:00";
}

void TestTextAndFileNames::formatDuration() {
    QFETCH(qint64, seconds);
    QFETCH(QString, expected);
    QCOMPARE(::formatDuration(seconds), expected);
}

void TestTextAndFileNames::formatByteSize_data() {
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << qint64(0) << "0 Byte";
    QTest::newRow("1024 is not above 1 KB") << qint64(1024) << "1024 Byte";
    QTest::newRow("1025") << qint64(1025) << "1.00 KB";
    QTest::newRow("1.5 KB") << qint64(1536) << "1.50 KB";
    QTest::newRow("exactly 1 MB stays KB") << qint64(1048576) << "1024.00 KB";
    QTest::newRow("200 GiB") << qint64(200) * (qint64(1) << 30) << "200.00 GB";
    QTest::newRow("500 GiB") << qint64(500) * (qint64(1) << 30) << "500.00 GB";
    QTest::newRow("1.5 TiB") << (qint64(3) << 39) << "1.50 TB";
    QTest::newRow("2 PiB") << (qint64(2) << 50) << "2.00 PB";
    QTest::newRow("4 EiB") << (qint64(4) << 60) << "4.00 EB";
}

void TestTextAndFileNames::formatByteSize() {
    QFETCH(qint64, bytes);
    QFETCH(QString, expected);
    QCOMPARE(::formatByteSize(bytes), expected);
}

void TestTextAndFileNames::formatByteSizeUsesUserSeparator() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(::formatByteSize(1536), QStringLiteral("1,50 KB"));
    // No thousands separator inside the number.
    QCOMPARE(::formatByteSize(1048576), QStringLiteral("1024,00 KB"));
}

void TestTextAndFileNames::extension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("stem");
    QTest::newRow("plain") << "/a/b.flac"
                           << ".flac"
                           << "/a/b";
    QTest::newRow("none") << "/a/b"
                          << ""
                          << "/a/b";
    QTest::newRow("dot in folder") << "/a.d/b"
                                   << ""
                                   << "/a.d/b";
    QTest::newRow("trailing dot") << "/a/b."
                                  << "."
                                  << "/a/b";
}

void TestTextAndFileNames::extension() {
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QFETCH(QString, stem);
    QCOMPARE(fileExtension(path), extension);
    QCOMPARE(pathWithoutExtension(path), stem);
}

void TestTextAndFileNames::uniqueFileName() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("a.mp3"));
    QCOMPARE(::uniqueFileName(path), path);

    QFile(path).open(QIODevice::WriteOnly);
    QCOMPARE(::uniqueFileName(path), dir.filePath(QStringLiteral("a_1.mp3")));
    QFile(dir.filePath(QStringLiteral("a_1.mp3"))).open(QIODevice::WriteOnly);
    QCOMPARE(::uniqueFileName(path), dir.filePath(QStringLiteral("a_2.mp3")));

    // A folder of that name counts as taken as well.
    const QString noExtension = dir.filePath(QStringLiteral("track"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("track")));
    QCOMPARE(::uniqueFileName(noExtension), dir.filePath(QStringLiteral("track_1")));
}

void TestTextAndFileNames::parseFloatText_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("point, C") << "C"
                              << "1.5" << 1.5;
    QTest::newRow("point, German") << "de_DE"
                                   << "1.5" << 1.5;
    QTest::newRow("comma, German") << "de_DE"
                                   << "2,25" << 2.25;
    QTest::newRow("N/A") << "C"
                         << "N/A" << 0.0;
    QTest::newRow("empty") << "de_DE"
                           << "" << 0.0;
    QTest::newRow("not finite") << "C"
                                << "inf" << 0.0;
}

void TestTextAndFileNames::parseFloatText() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(double, expected);
    QLocale::setDefault(QLocale(locale));
    QCOMPARE(::parseFloatText(text), expected);
}

void TestTextAndFileNames::makeValidFileName() {
    QCOMPARE(::makeValidFileName(QStringLiteral("a\"b*c/d:e<f>g?h\\i|j")),
             QStringLiteral("a_b_c_d_e_f_g_h_i_j"));
    const QString kept = QStringLiteral("My preset\t%1 (ä) .prf").arg(QChar(7));
    QCOMPARE(::makeValidFileName(kept), kept);
}

void TestTextAndFileNames::olderThanDays_data() {
    QTest::addColumn<qint64>("ageSeconds");
    QTest::addColumn<bool>("older");
    const qint64 day = 24 * 60 * 60;
    QTest::newRow("8 days") << 8 * day << true;
    QTest::newRow("7 days 23 hours") << 7 * day + 23 * 3600 << false;
    QTest::newRow("exactly 7 days") << 7 * day << false;
    QTest::newRow("just created") << qint64(0) << false;
}

void TestTextAndFileNames::olderThanDays() {
    QFETCH(qint64, ageSeconds);
    QFETCH(bool, older);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.nxlog"));
    QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    const QDateTime created = fileCreationTime(path);
    QVERIFY(created.isValid());
    QVERIFY(qAbs(created.secsTo(QDateTime::currentDateTime())) < 60);
    QCOMPARE(isOlderThanDays(path, 7, created.addSecs(ageSeconds)), older);
    // Folders have a creation time too.
    QCOMPARE(isOlderThanDays(dir.path(), 7, fileCreationTime(dir.path()).addSecs(ageSeconds)), older);
}

void TestTextAndFileNames::olderThanDaysOfMissingFile() {
    QVERIFY(!isOlderThanDays(QStringLiteral("/nonexistent/velmo/x.log"), 7,
                             QDateTime::currentDateTime().addYears(10)));
    QVERIFY(!fileCreationTime(QStringLiteral("/nonexistent/velmo/x.log")).isValid());
}

void TestTextAndFileNames::extensionLists_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<bool>("inAddOnly");
    QTest::addColumn<bool>("notIgnored");
    QTest::newRow("empty list") << "/m/x.flac" << QStringList() << true << true;
    QTest::newRow("listed, other case") << "/m/x.FLAC" << QStringList{"flac"} << true << false;
    QTest::newRow("entry in capitals") << "/m/x.mp3" << QStringList{"WAV", "MP3"} << true << false;
    QTest::newRow("not listed") << "/m/x.ogg" << QStringList{"flac"} << false << true;
    QTest::newRow("entry with a dot never matches") << "/m/x.flac" << QStringList{".flac"} << false << true;
    QTest::newRow("no extension") << "/m/x" << QStringList{"flac"} << false << true;
    QTest::newRow("whole entries only") << "/m/x.fla" << QStringList{"flac"} << false << true;
}

void TestTextAndFileNames::extensionLists() {
    QFETCH(QString, path);
    QFETCH(QStringList, list);
    QFETCH(bool, inAddOnly);
    QFETCH(bool, notIgnored);
    QCOMPARE(isInAddOnlyList(path, list), inAddOnly);
    QCOMPARE(isNotInIgnoredList(path, list), notIgnored);
}

void TestTextAndFileNames::textInList() {
    const QStringList list{QStringLiteral("eng"), QStringLiteral("ger")};
    QVERIFY(isTextInList(list, QStringLiteral("ger")));
    QVERIFY(!isTextInList(list, QStringLiteral("GER")));
    QVERIFY(!isTextInList({}, QStringLiteral("eng")));
}

void TestTextAndFileNames::threadCountCeiling_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("ceiling");
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("3") << 3 << 4;
    QTest::newRow("6") << 6 << 8;
    QTest::newRow("12") << 12 << 12;
    QTest::newRow("16") << 16 << 32;
    QTest::newRow("64") << 64 << 32;
}

void TestTextAndFileNames::threadCountCeiling() {
    QFETCH(int, count);
    QFETCH(int, ceiling);
    QCOMPARE(::threadCountCeiling(count), ceiling);
}

void TestTextAndFileNames::timeStampText() {
    const QDateTime before = QDateTime::currentDateTime();
    const QString text = ::timeStampText();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d$"))
                 .match(text)
                 .hasMatch(),
             qPrintable(text));
    const QDateTime parsed = QDateTime::fromString(text, QStringLiteral("yyyy_MM_dd_hh_mm_ss"));
    QVERIFY(qAbs(parsed.secsTo(before)) <= 2);
}

void TestTextAndFileNames::fileVersionBuild() {
    QCOMPARE(::fileVersionBuild(QCoreApplication::applicationFilePath()), QStringLiteral(VELMO_BUILD_NUMBER));
    QVERIFY(::fileVersionBuild(QStringLiteral("/nonexistent/velmo")).isEmpty());
}

void TestTextAndFileNames::splitCommandLine_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("blanks, tabs and line breaks separate")
        << QStringLiteral("a  b\tc\r\nd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("quotes group a path with blanks")
        << QStringLiteral("\"/dir with blank/tool\" \"a b\"") << QStringList{"/dir with blank/tool", "a b"};
    QTest::newRow("quotes in the middle of an argument")
        << QStringLiteral("-metadata title=\"A B\"") << QStringList{"-metadata", "title=A B"};
    QTest::newRow("empty quotes are an argument") << QStringLiteral("a \"\" b") << QStringList{"a", "", "b"};
    QTest::newRow("backslash escapes a quote") << QStringLiteral("a\\\"b") << QStringList{"a\"b"};
    QTest::newRow("doubled quote inside quotes")
        << QStringLiteral("\"say \"\"hi\"\"\"") << QStringList{"say \"hi\""};
    QTest::newRow("backslash pairs before a quote halve")
        << QStringLiteral("a\\\\\"b c\"") << QStringList{"a\\b c"};
    QTest::newRow("backslashes elsewhere stay")
        << QStringLiteral("dir\\name\\") << QStringList{"dir\\name\\"};
    QTest::newRow("empty text") << QString() << QStringList();
    QTest::newRow("blanks only") << QStringLiteral(" \t ") << QStringList();
}

void TestTextAndFileNames::splitCommandLine() {
    QFETCH(QString, text);
    QTEST(::splitCommandLine(text), "arguments");
}

QTEST_GUILESS_MAIN(TestTextAndFileNames)
#include "tst_textandfilenames.moc"
