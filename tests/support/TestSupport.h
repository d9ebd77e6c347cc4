#pragma once

#include <QString>
#include <QStringList>

// Helpers shared by the tests: making media fixtures with the real ffmpeg and
// reading facts back with the real ffprobe.
namespace TestSupport {

// Runs ffmpeg with "-hide_banner -loglevel error -y" and the given arguments;
// returns false (and prints ffmpeg's error output) when it fails.
bool RunFFmpeg(const QStringList& arguments, QString* errorOutput = nullptr);

// Runs ffprobe -v error -of json with the given arguments and returns its standard output.
QByteArray runFFprobe(const QStringList& arguments);

// A sine tone of the given length; extraArgs go before the output path
// (codec, sample format, ...).
bool makeTone(const QString& path, double seconds, int sampleRate = 44100, int channels = 2,
              const QStringList& extraArgs = {});

// A small JPEG or PNG test picture (chosen by the extension).
bool makePicture(const QString& path, int width = 64, int height = 64,
                 const QString& color = QStringLiteral("red"));

// Writes a whole file, creating its folder; false when it cannot be written.
bool writeFile(const QString& path, const QByteArray& data);
// An empty file, with its folder.
bool touch(const QString& path);
// Writes a whole file and lets its owner run it: a stand-in for a tool.
bool writeScript(const QString& path, const QByteArray& text);
// A whole file's bytes; empty when it cannot be read.
QByteArray readFile(const QString& path);
// The same as UTF-8 text.
QString readText(const QString& path);
// What the program log of this test run holds so far.
QString programLogText();

// The folder of the built executables (coverstamp, velmo-convert) and data files.
QString programDir();

} // namespace TestSupport
