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
class ConsoleLineAssembler {
public:
    static constexpr qsizetype PieceSize = 1024;

    // Called for each emission with the current line and whether it begins a new entry.
    using LineHandler = std::function<void(const QString& line, bool startsOnNewLine)>;

    explicit ConsoleLineAssembler(QStringList& consoleOutput) : m_consoleOutput(consoleOutput) {}

    void setLineHandler(LineHandler handler) { m_onLine = std::move(handler); }
    void reset();
    // Parses the bytes piece by piece.
    void feed(QByteArrayView data);
    // The output has ended: emits an unfinished last line once more.
    void finish();

private:
    void parsePiece(QByteArrayView piece);
    void writePending(QByteArrayView piece, qsizetype& pendingStart, qsizetype end);
    void write(QByteArrayView text);
    void emitLine(bool lineEnd);

    QStringList& m_consoleOutput;
    LineHandler m_onLine;
    QByteArray m_currentLine;
    qsizetype m_cursorPosition = 0;
    bool m_startsOnNewLine = true;
};
