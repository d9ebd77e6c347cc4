#include "base/CommandLineSplit.h"

QStringList splitCommandLine(const QString& text) {
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool inQuotes = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\\') {
            qsizetype backslashes = 0;
            while (i < n && text[i] == u'\\') {
                ++backslashes;
                ++i;
            }
            if (i < n && text[i] == u'"') {
                current += QString(backslashes / 2, u'\\');
                if (backslashes % 2 == 1) {
                    current += u'"';
                } else {
                    --i; // let the quote toggle below
                }
            } else {
                current += QString(backslashes, u'\\');
                --i;
            }
            inArgument = true;
            continue;
        }
        if (c == u'"') {
            inArgument = true;
            if (inQuotes && i + 1 < n && text[i + 1] == u'"') {
                current += u'"';
                ++i;
            } else {
                inQuotes = !inQuotes;
            }
            continue;
        }
        if (!inQuotes && (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r')) {
            if (inArgument) {
                arguments << current;
                current.clear();
                inArgument = false;
            }
            continue;
        }
        current += c;
        inArgument = true;
    }
    if (inArgument)
        arguments << current;
    return arguments;
}
