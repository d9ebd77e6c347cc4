#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// Turns a console program's raw output into lines the way a terminal shows them:
// a carriage return moves back to the start of the line so that later text
// overwrites it (ffmpeg's rewritten status line stays one entry), backspace
// moves back one byte, a tab writes eight blanks, NUL and BEL read as blanks.
// Output is handled in pieces of at most 1024 bytes; at the end of each piece
// the line is emitted even when unfinished, so the listener always sees the
// whole current status line.
class TConsoleLineAssembler {
public:
    static constexpr qsizetype PieceSize = 1024;

    // Called for each emission with the current line and whether it begins a new entry.
    using LineHandler = std::function<void(const QString& line, bool startsOnNewLine)>;

    explicit TConsoleLineAssembler(QStringList& consoleOutput) : FConsoleOutput(consoleOutput) {}

    void SetLineHandler(LineHandler handler) { FOnLine = std::move(handler); }
    void Reset();
    // Parses the bytes piece by piece.
    void Feed(QByteArrayView data);
    // The output has ended: emits an unfinished last line once more.
    void Finish();

private:
    void ParsePiece(QByteArrayView piece);
    void WritePending(QByteArrayView piece, qsizetype& pendingStart, qsizetype end);
    void Write(QByteArrayView text);
    void Emit(bool lineEnd);

    QStringList& FConsoleOutput;
    LineHandler FOnLine;
    QByteArray FCurrentLine;
    qsizetype FCursorPosition = 0;
    bool FStartsOnNewLine = true;
};
