#include "settings/AdvancedSettingsFile.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "model/Codecs.h"
#include "settings/IniStore.h"

#include <QDir>
#include <QRegularExpression>

namespace {
const QString General = QStringLiteral("general");
const QString CustomParams = QStringLiteral("customparams");
const QString Aac = QStringLiteral("aac");
const QString Ext = QStringLiteral("ext");
} // namespace

QString AdvancedSettingsFilePath() {
    return QDir(AppPaths::DataFolder()).filePath(QStringLiteral("advanced.ini"));
}

QString JoinCustomParamLines(const QString& params) {
    static const QRegularExpression lineBreaks(QStringLiteral("[\\r\\n]+"));
    QString joined = params;
    return joined.replace(lineBreaks, QStringLiteral(" "));
}

TAdvancedSettings LoadAdvancedSettings(const QString& path) {
    const TIniStore ini(path);
    TAdvancedSettings settings;
    settings.CustomFFmpegParams = JoinCustomParamLines(ini.ReadString(General, CustomParams));
    const int ext = ini.ReadInteger(Aac, Ext, 0);
    settings.AacExtensionIndex = ext >= 0 && ext < AacExtensions.size() ? ext : -1;
    return settings;
}

bool SaveAdvancedSettings(const QString& path, const TAdvancedSettings& settings, QString* errorText) {
    TIniStore ini(path);
    ini.WriteString(General, CustomParams, JoinCustomParamLines(settings.CustomFFmpegParams));
    ini.WriteInteger(Aac, Ext, settings.AacExtensionIndex);
    const bool saved = ini.Save(errorText);
    if (!saved)
        LogException(QStringLiteral("TAdvancedSettingsForm.SaveSettings"),
                     errorText ? *errorText : QString());
    return saved;
}
