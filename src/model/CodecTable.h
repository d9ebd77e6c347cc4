#pragma once

#include "model/Codecs.h"

#include <QList>
#include <QStringList>

// What the codec panel offers for each output format, in codec order: the
// lists its controls are filled from and the positions selected by default.
using CodecTable = QList<CodecCapabilities>;

CodecTable buildCodecTable();

// The texts of the format list, in codec order.
QStringList formatListTexts();

// The entry of the table that describes the codec; nullptr when it has none.
const CodecCapabilities* findCodec(const CodecTable& table, OutputCodec codec);

// The texts a list shows for enumeration values: the names without their prefix.
template <typename Enum> QStringList displayTexts(const QList<Enum>& values) {
    QStringList texts;
    texts.reserve(values.size());
    for (Enum value : values)
        texts.append(displayText(value));
    return texts;
}
