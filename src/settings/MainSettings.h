#pragma once

#include "model/CodecPanelPositions.h"

#include <QString>

// What the main window keeps in settings.ini: the last folder and dialog
// filter, the player volume, the codec panel and the post-encode action.
struct MainSettings {
    QString lastOpenedDirectory; // initial folder of the add dialogs
    int lastExtIndex = -1;       // filter of the add-files dialog; -1 keeps the dialog's own
    int volume = 75;             // preview player, 0..128
    CodecPanelPositions panel;
    int postEncodeAction = 0;

    bool operator==(const MainSettings&) const = default;
};

// The values of a first start: the music folder, volume 75, MP3 and the
// per-format positions the main window falls back to (FLAC level 12 among them);
// the bit depths start at the codec table's default.
MainSettings defaultMainSettings(const CodecTable& table);

// Reads the keys in the main window's order. A missing file or key gives the
// default; a stored list position outside its list leaves that list without a
// selection (-1); a format outside the list gives MP3; the volume is clamped.
// The bit depths are never stored and always start at the table's default.
MainSettings loadMainSettings(const QString& path, const CodecTable& table);

// Writes the main window's keys in their order (not Update/Active) in one save
// that keeps the file's other keys; failures go to the log.
bool saveMainSettings(const QString& path, const MainSettings& settings, QString* errorText = nullptr);
