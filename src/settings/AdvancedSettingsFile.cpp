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

QString advancedSettingsFilePath() {
    return QDir(AppPaths::dataFolder()).filePath(QStringLiteral("advanced.ini"));
}

QString joinCustomParamLines(const QString& params) {
    static const QRegularExpression lineBreaks(QStringLiteral("[\\r\\n]+"));
    QString joined = params;
    return joined.replace(lineBreaks, QStringLiteral(" "));
}

AdvancedSettings loadAdvancedSettings(const QString& path) {
    const IniStore ini(path);
    AdvancedSettings settings;
    settings.customFFmpegParams = joinCustomParamLines(ini.readString(General, CustomParams));
    const int ext = ini.readInteger(Aac, Ext, 0);
    settings.aacExtensionIndex = ext >= 0 && ext < AacExtensions.size() ? ext : -1;
    return settings;
}

bool saveAdvancedSettings(const QString& path, const AdvancedSettings& settings, QString* errorText) {
    IniStore ini(path);
    ini.writeString(General, CustomParams, joinCustomParamLines(settings.customFFmpegParams));
    ini.writeInteger(Aac, Ext, settings.aacExtensionIndex);
    const bool saved = ini.save(errorText);
    if (!saved)
        logException(QStringLiteral("TAdvancedSettingsForm.SaveSettings"),
                     errorText ? *errorText : QString());
    return saved;
}
