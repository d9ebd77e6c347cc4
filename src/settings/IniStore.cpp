#include "settings/IniStore.h"

#include "base/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#define SI_CONVERT_ICU
#include <SimpleIni.h>

#include <string>

// Case-insensitive names, UTF-8 bytes in and out.
class CSimpleIniStore : public CSimpleIniA {
public:
    CSimpleIniStore() : CSimpleIniA(/*a_bIsUtf8=*/true, /*a_bMultiKey=*/false, /*a_bMultiLine=*/true) {
        // "key=value" as hand-written files and other tools expect.
        SetSpaces(false);
    }
};

namespace {

// Text written by other programs may not be UTF-8 (a Latin-1 folder path);
// reading it as Latin-1 keeps every byte as a character instead of losing it.
std::string asUtf8(const QByteArray& data) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(data);
    if (utf8.hasError())
        text = QString::fromLatin1(data);
    // The parser stops at a NUL byte; junk after one must not hide the rest.
    text.remove(QChar(u'\0'));
    return text.toStdString();
}

enum class ReadResult { Missing, Read, Failed };

ReadResult readInto(const QString& path, CSimpleIniStore& ini, QString* errorText) {
    QFile file(path);
    if (!file.exists())
        return ReadResult::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        if (errorText)
            *errorText = file.errorString();
        return ReadResult::Failed;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (errorText)
            *errorText = file.errorString();
        return ReadResult::Failed;
    }
    if (ini.LoadData(asUtf8(data)) < 0) {
        // Unparseable text reads as an empty file: the defaults apply.
        ini.Reset();
    }
    return ReadResult::Read;
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

// Line breaks inside a value are kept by the multi-line form; a bare "\r"
// would end the line on reading, so it is written as a line break too.
std::string valueText(const QString& value) {
    QString text = value;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    return utf8(text);
}

} // namespace

IniStore::IniStore(const QString& path) : m_path(path), m_ini(std::make_unique<CSimpleIniStore>()) {
    QString error;
    if (readInto(m_path, *m_ini, &error) == ReadResult::Failed)
        logWarning(QStringLiteral("Unable to read %1: %2").arg(m_path, error));
}

IniStore::~IniStore() = default;

QString IniStore::readString(const QString& section, const QString& key, const QString& defaultValue) const {
    const char* value = m_ini->GetValue(utf8(section).c_str(), utf8(key).c_str(), nullptr);
    return value ? QString::fromUtf8(value) : defaultValue;
}

int IniStore::readInteger(const QString& section, const QString& key, int defaultValue) const {
    bool ok = false;
    const int value = readString(section, key).trimmed().toInt(&ok, 10);
    return ok ? value : defaultValue;
}

bool IniStore::readBool(const QString& section, const QString& key, bool defaultValue) const {
    bool ok = false;
    const qlonglong value = readString(section, key).trimmed().toLongLong(&ok, 10);
    return ok ? value != 0 : defaultValue;
}

void IniStore::writeString(const QString& section, const QString& key, const QString& value) {
    m_pending.append({section, key, value});
    m_ini->SetValue(utf8(section).c_str(), utf8(key).c_str(), valueText(value).c_str());
}

void IniStore::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniStore::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniStore::save(QString* errorText) {
    auto fail = [&](const QString& reason) {
        logError(QStringLiteral("Unable to save %1: %2").arg(m_path, reason));
        if (errorText)
            *errorText = reason;
        return false;
    };

    // Keys written by someone else since this store read the file stay as they are now.
    auto current = std::make_unique<CSimpleIniStore>();
    QString readError;
    if (readInto(m_path, *current, &readError) == ReadResult::Failed)
        return fail(readError);
    for (const PendingWrite& write : m_pending)
        current->SetValue(utf8(write.section).c_str(), utf8(write.key).c_str(),
                          valueText(write.value).c_str());

    std::string text;
    if (current->Save(text) < 0)
        return fail(QStringLiteral("the settings could not be put into text"));

    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("the folder %1 cannot be created").arg(folder));
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size()))
        return fail(file.errorString());
    if (!file.commit())
        return fail(file.errorString());

    m_pending.clear();
    m_ini = std::move(current);
    return true;
}
