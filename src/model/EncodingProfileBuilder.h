#pragma once

#include "model/CodecPanelPositions.h"

#include <optional>

// The encoding profile of a run, built from what the codec panel shows.
//
// typedBitrate is the text of the chosen format's editable bit-rate list as
// shown; a value the user typed (such as "200") reaches the profile unchanged.
// Without it the bit-rate list's entry at the page's position is taken.
//
// A position outside its list (a list without a selection) never yields a
// profile that asks ffmpeg for nothing: the method, bit rate and quality fall
// back to the table's default, sample rate, channels and bit depth to
// "Original". A format outside the table gives MP3.
EncodingProfile createEncodingProfile(const CodecTable& table, const CodecPanelPositions& panel,
                                      const std::optional<QString>& typedBitrate = std::nullopt);

// The AAC quality of a quality-list position: (position + 1) / 10 as the
// shortest decimal text with "." ("0.1" ... "0.9", "1", "1.1" ... "2.2").
QString aacQualityText(int qualityPosition);
