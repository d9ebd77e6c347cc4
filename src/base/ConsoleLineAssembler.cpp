#include "base/ConsoleLineAssembler.h"

#include <algorithm>
#include <array>
#include <cstring>

void TConsoleLineAssembler::Reset() {
    FCurrentLine.clear();
    FCursorPosition = 0;
    FStartsOnNewLine = true;
}

void TConsoleLineAssembler::Feed(QByteArrayView data) {
    while (!data.isEmpty()) {
        const qsizetype n = std::min(data.size(), PieceSize);
        ParsePiece(data.first(n));
        data = data.sliced(n);
    }
}

void TConsoleLineAssembler::Finish() {
    if (!FCurrentLine.isEmpty())
        Emit(false);
}

namespace {

constexpr std::array<bool, 256> IsControlByte = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : {0, 7, 8, 9, 10, 13})
        table[c] = true;
    return table;
}();

} // namespace

void TConsoleLineAssembler::ParsePiece(QByteArrayView piece) {
    static constexpr char Blank = ' ';
    static constexpr char TabBlanks[] = "        ";
    qsizetype pendingStart = 0;
    const qsizetype n = piece.size();
    const char* bytes = piece.data();
    for (qsizetype i = 0; i < n; ++i) {
        if (!IsControlByte[static_cast<unsigned char>(bytes[i])])
            continue; // most bytes are plain text, collected as one pending run
        switch (bytes[i]) {
        case 0:
        case 7:
            WritePending(piece, pendingStart, i);
            Write(QByteArrayView(&Blank, 1));
            break;
        case 8:
            WritePending(piece, pendingStart, i);
            FCursorPosition = std::max<qsizetype>(0, FCursorPosition - 1);
            break;
        case 9:
            WritePending(piece, pendingStart, i);
            Write(QByteArrayView(TabBlanks, 8));
            break;
        case 10:
            WritePending(piece, pendingStart, i);
            Emit(true);
            break;
        case 13:
            WritePending(piece, pendingStart, i);
            FCursorPosition = 0;
            break;
        default:
            continue;
        }
        pendingStart = i + 1;
    }
    WritePending(piece, pendingStart, n);
    Emit(false);
}

void TConsoleLineAssembler::WritePending(QByteArrayView piece, qsizetype& pendingStart, qsizetype end) {
    if (end > pendingStart)
        Write(piece.sliced(pendingStart, end - pendingStart));
    pendingStart = end;
}

void TConsoleLineAssembler::Write(QByteArrayView text) {
    const qsizetype end = FCursorPosition + text.size();
    if (end > FCurrentLine.size())
        FCurrentLine.resize(end);
    std::memcpy(FCurrentLine.data() + FCursorPosition, text.data(), size_t(text.size()));
    FCursorPosition = end;
}

void TConsoleLineAssembler::Emit(bool lineEnd) {
    // Output bytes are read as UTF-8, the encoding of the tools' messages and of
    // the file names they print on this system.
    const QString line = QString::fromUtf8(FCurrentLine);
    if (!FStartsOnNewLine && !FConsoleOutput.isEmpty())
        FConsoleOutput.last() = line;
    else
        FConsoleOutput.append(line);
    const bool startsOnNewLine = FStartsOnNewLine;
    if (lineEnd) {
        FCurrentLine.clear();
        FCursorPosition = 0;
    }
    FStartsOnNewLine = lineEnd;
    if (FOnLine)
        FOnLine(line, startsOnNewLine);
}
