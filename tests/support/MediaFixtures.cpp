#include "MediaFixtures.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <sys/stat.h>
#include <unistd.h>

namespace MediaFixtures {

namespace {

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

bool makeMp3WithCovers(const QString& path, const QStringList& coverColors, double seconds) {
    QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("sine=frequency=440:duration=%1").arg(seconds)};
    QStringList maps{QStringLiteral("-map"), QStringLiteral("0:a")};
    QStringList pictures;
    for (int i = 0; i < coverColors.size(); ++i) {
        const QString picture = path + QStringLiteral(".cover%1.%2").arg(i).arg(i % 2 ? u"jpg" : u"png");
        if (!TestSupport::makePicture(picture, 48, 32, coverColors[i]))
            return false;
        pictures << picture;
        args << QStringLiteral("-i") << picture;
        maps << QStringLiteral("-map") << QString::number(i + 1);
    }
    args << maps << QStringLiteral("-ac") << QStringLiteral("2") << QStringLiteral("-c:a")
         << QStringLiteral("libmp3lame") << QStringLiteral("-c:v") << QStringLiteral("copy")
         << QStringLiteral("-disposition:v") << QStringLiteral("attached_pic")
         << QStringLiteral("-id3v2_version") << QStringLiteral("3") << path;
    const bool ok = TestSupport::RunFFmpeg(args);
    for (const QString& picture : std::as_const(pictures))
        QFile::remove(picture);
    return ok;
}

bool makeFilmWithCover(const QString& path, const QString& filmColor, const QString& coverColor) {
    const QString cover = path + QStringLiteral(".cover.png");
    if (!TestSupport::makePicture(cover, 40, 30, coverColor))
        return false;
    const bool ok = TestSupport::RunFFmpeg(
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("color=c=%1:s=64x48:d=1").arg(filmColor), QStringLiteral("-f"),
         QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=duration=1"),
         QStringLiteral("-attach"), cover, QStringLiteral("-metadata:s:t"),
         QStringLiteral("mimetype=image/png"), QStringLiteral("-c:v"), QStringLiteral("mpeg4"),
         QStringLiteral("-c:a"), QStringLiteral("flac"), path});
    QFile::remove(cover);
    return ok;
}

QList<BadInput> makeBadInputs(const QString& folder) {
    const QDir dir(folder);
    QList<BadInput> inputs;
    const QString cannotOpen = QStringLiteral("Unable to open ");
    const QString noAudio = QStringLiteral("Unable to find audio streams in ");

    const QString empty = dir.filePath(QStringLiteral("empty.mp3"));
    writeFile(empty, {});
    inputs.append({QStringLiteral("zero bytes"), empty, cannotOpen});

    const QString flac = dir.filePath(QStringLiteral("source.flac"));
    TestSupport::makeTone(flac, 2.0);
    QFile source(flac);
    source.open(QIODevice::ReadOnly);
    const QByteArray flacBytes = source.readAll();
    source.close();
    QFile::remove(flac);
    const QString headerOnly = dir.filePath(QStringLiteral("header only.flac"));
    writeFile(headerOnly, flacBytes.left(20));
    inputs.append({QStringLiteral("FLAC cut inside its header"), headerOnly, cannotOpen});

    QByteArray noise(64 * 1024, Qt::Uninitialized);
    QRandomGenerator random(4);
    for (char& byte : noise)
        byte = static_cast<char>(random.bounded(256));
    const QString randomMp3 = dir.filePath(QStringLiteral("random.mp3"));
    writeFile(randomMp3, noise);
    inputs.append({QStringLiteral("random bytes"), randomMp3, cannotOpen});

    // "%1" in the name shows that the path is put into the message literally.
    const QString text = dir.filePath(QStringLiteral("notes %1.mp3"));
    writeFile(text, QByteArrayLiteral("These are not the sounds you are looking for.\n").repeated(40));
    inputs.append({QStringLiteral("text"), text, cannotOpen});

    const QString video = dir.filePath(QStringLiteral("silent film.mp4"));
    TestSupport::RunFFmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                            QStringLiteral("testsrc=duration=1:size=64x48"), QStringLiteral("-c:v"),
                            QStringLiteral("mpeg4"), video});
    inputs.append({QStringLiteral("video without audio"), video, noAudio});

    const QString folderMp3 = dir.filePath(QStringLiteral("x.mp3"));
    dir.mkpath(QStringLiteral("x.mp3"));
    inputs.append({QStringLiteral("folder"), folderMp3, cannotOpen});

    const QString pipe = dir.filePath(QStringLiteral("pipe.mp3"));
    ::mkfifo(QFile::encodeName(pipe).constData(), 0600);
    inputs.append({QStringLiteral("named pipe"), pipe, cannotOpen});

    const QString device = dir.filePath(QStringLiteral("device.flac"));
    QFile::link(QStringLiteral("/dev/zero"), device);
    inputs.append({QStringLiteral("device"), device, cannotOpen});

    inputs.append({QStringLiteral("vanished"), dir.filePath(QStringLiteral("gone.mp3")), cannotOpen});

    if (::geteuid() != 0) {
        const QString locked = dir.filePath(QStringLiteral("locked.mp3"));
        TestSupport::makeTone(locked, 0.5);
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        inputs.append({QStringLiteral("unreadable"), locked, cannotOpen});
    }
    return inputs;
}

} // namespace MediaFixtures
