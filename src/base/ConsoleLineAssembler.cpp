#include "base/ConsoleLineAssembler.h"

#include <algorithm>
#include <array>
#include <cstring>

void ConsoleLineAssembler::reset() {
    m_currentLine.clear();
    m_cursorPosition = 0;
    m_startsOnNewLine = true;
}

void ConsoleLineAssembler::feed(QByteArrayView data) {
    while (!data.isEmpty()) {
        const qsizetype n = std::min(data.size(), PieceSize);
        parsePiece(data.first(n));
        data = data.sliced(n);
    }
}

void ConsoleLineAssembler::finish() {
    if (!m_currentLine.isEmpty())
        emitLine(false);
}

namespace {

constexpr std::array<bool, 256> IsControlByte = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : {0, 7, 8, 9, 10, 13})
        table[c] = true;
    return table;
}();

} // namespace

void ConsoleLineAssembler::parsePiece(QByteArrayView piece) {
    static constexpr char blank = ' ';
    static constexpr char tabBlanks[] = "        ";
    qsizetype pendingStart = 0;
    const qsizetype n = piece.size();
    const char* bytes = piece.data();
    for (qsizetype i = 0; i < n; ++i) {
        if (!IsControlByte[static_cast<unsigned char>(bytes[i])])
            continue; // most bytes are plain text, collected as one pending run
        switch (bytes[i]) {
        case 0:
        case 7:
            writePending(piece, pendingStart, i);
            write(QByteArrayView(&blank, 1));
            break;
        case 8:
            writePending(piece, pendingStart, i);
            m_cursorPosition = std::max<qsizetype>(0, m_cursorPosition - 1);
            break;
        case 9:
            writePending(piece, pendingStart, i);
            write(QByteArrayView(tabBlanks, 8));
            break;
        case 10:
            writePending(piece, pendingStart, i);
            emitLine(true);
            break;
        case 13:
            writePending(piece, pendingStart, i);
            m_cursorPosition = 0;
            break;
        default:
            continue;
        }
        pendingStart = i + 1;
    }
    writePending(piece, pendingStart, n);
    emitLine(false);
}

void ConsoleLineAssembler::writePending(QByteArrayView piece, qsizetype& pendingStart, qsizetype end) {
    if (end > pendingStart)
        write(piece.sliced(pendingStart, end - pendingStart));
    pendingStart = end;
}

void ConsoleLineAssembler::write(QByteArrayView text) {
    const qsizetype end = m_cursorPosition + text.size();
    if (end > m_currentLine.size())
        m_currentLine.resize(end);
    std::memcpy(m_currentLine.data() + m_cursorPosition, text.data(), size_t(text.size()));
    m_cursorPosition = end;
}

void ConsoleLineAssembler::emitLine(bool lineEnd) {
    // Output bytes are read as UTF-8, the encoding of the tools' messages and of
    // the file names they print on this system.
    const QString line = QString::fromUtf8(m_currentLine);
    if (!m_startsOnNewLine && !m_consoleOutput.isEmpty())
        m_consoleOutput.last() = line;
    else
        m_consoleOutput.append(line);
    const bool startsOnNewLine = m_startsOnNewLine;
    if (lineEnd) {
        m_currentLine.clear();
        m_cursorPosition = 0;
    }
    m_startsOnNewLine = lineEnd;
    if (m_onLine)
        m_onLine(line, startsOnNewLine);
}
