#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Media files for the probe's tests and benchmark, made by the real ffmpeg.
namespace MediaFixtures {

// A stereo MP3 tone with one attached picture per colour (none for an empty
// list); the pictures alternate between PNG and JPEG.
bool makeMp3WithCovers(const QString& path, const QStringList& coverColors, double seconds = 1.0);

// A Matroska file whose first stream is a film of one plain colour and which
// carries an attached PNG cover of another colour.
bool makeFilmWithCover(const QString& path, const QString& filmColor, const QString& coverColor);

// A file that must not be added, and the start of the probe's error text for it.
struct BadInput {
    QString name;
    QString path;
    QString errorStart;
};

// Zero-byte, truncated, random, text, video-only, folder, pipe, device and
// vanished inputs, made inside `folder`. Unreadable files are left out when the
// process can read everything anyway (running as root).
QList<BadInput> makeBadInputs(const QString& folder);

} // namespace MediaFixtures
