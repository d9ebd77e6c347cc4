#pragma once

#include <QList>
#include <QString>
#include <memory>

class CSimpleIniStore;

// One INI file of the program (settings.ini, advanced.ini, a preset): sections
// in square brackets and key=value lines, names matched without regard to
// case, UTF-8 text.
//
// The file is read once when the store is made; reads never fail and give the
// default for a missing key or a value that does not read as wanted. Writes
// are kept until Save(), which re-reads the file as it is on disk, replaces only
// the keys written and puts the result in place through a temporary file and
// a rename, so other keys survive and a crash never leaves a truncated file.
class IniStore {
public:
    explicit IniStore(const QString& path);
    ~IniStore();
    IniStore(const IniStore&) = delete;
    IniStore& operator=(const IniStore&) = delete;

    QString path() const { return m_path; }

    QString readString(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    // Decimal integers only; anything else, or a number outside 32 bits, gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // Any non-zero integer is true, zero false, anything else the default.
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

    // Writes the pending keys. On failure the file on disk is left as it was,
    // the failure goes to the program log, and the error text comes back
    // through errorText; the pending keys stay pending.
    bool save(QString* errorText = nullptr);

private:
    struct PendingWrite {
        QString section;
        QString key;
        QString value;
    };

    QString m_path;
    std::unique_ptr<CSimpleIniStore> m_ini;
    QList<PendingWrite> m_pending;
};
