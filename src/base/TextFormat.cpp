#include "base/TextFormat.h"

#include <QDateTime>
#include <QLocale>

#include <array>
#include <cmath>

QString timeStampText() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss"));
}

QString formatDuration(qint64 seconds) {
    if (seconds <= 0)
        return QStringLiteral("00:00:00");
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds / 60 - hours * 60;
    const qint64 rest = seconds % 60;
    const auto twoDigits = [](qint64 value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    return twoDigits(hours) + u':' + twoDigits(minutes) + u':' + twoDigits(rest);
}

QString formatByteSize(qint64 bytes) {
    struct Unit {
        int shift;
        const char* name;
    };
    static const std::array<Unit, 6> units = {
        {{60, "EB"}, {50, "PB"}, {40, "TB"}, {30, "GB"}, {20, "MB"}, {10, "KB"}}};
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    for (const Unit& unit : units) {
        const qint64 size = qint64(1) << unit.shift;
        if (bytes > size)
            return locale.toString(double(bytes) / double(size), 'f', 2) + u' ' + QLatin1String(unit.name);
    }
    return QString::number(bytes) + QStringLiteral(" Byte");
}

double parseFloatText(const QString& text) {
    const QLocale locale;
    bool ok = false;
    double value = locale.toDouble(text, &ok);
    if (!ok)
        value = locale.toDouble(QString(text).replace(u'.', u','), &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

QString makeValidFileName(const QString& text) {
    static const QString forbidden = QStringLiteral("\"*/:<>?\\|");
    QString result = text;
    for (QChar& c : result) {
        if (forbidden.contains(c))
            c = u'_';
    }
    return result;
}

bool isTextInList(const QStringList& list, const QString& text) {
    return list.contains(text, Qt::CaseSensitive);
}
