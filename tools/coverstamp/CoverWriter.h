#pragma once

#include "Picture.h"

#include <filesystem>
#include <string>

enum class CoverResult { Written, FormatHasNoPicture, Unreadable, WriteFailed };

// Puts the picture into the file as its one front cover, with TagLib, choosing
// the tag by the extension (lower case, with the dot) of the file's real name.
// An earlier front cover, or the untyped picture ffmpeg carries over from the
// source, is replaced; every other tag and picture stays; the audio is not touched.
CoverResult writeFrontCover(const std::filesystem::path& file, const std::string& extension,
                            const Picture& picture);

// True when the file's front cover holds exactly these bytes.
bool hasFrontCover(const std::filesystem::path& file, const std::string& extension, const Picture& picture);

// True for the extensions whose files can hold a picture.
bool canHoldPicture(const std::string& extension);
