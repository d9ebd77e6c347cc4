#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <taglib/tbytevector.h>

// A cover picture as it goes into a file: the bytes and what they are.
struct TPicture {
    enum class TFormat { Jpeg, Png };
    TFormat Format = TFormat::Jpeg;
    TagLib::ByteVector Data;

    std::string MimeType() const { return Format == TFormat::Png ? "image/png" : "image/jpeg"; }
};

enum class TPictureLoadError { Unreadable, NotJpegOrPng };

// Reads a picture file and tells JPEG from PNG by its first bytes, not by its name.
std::optional<TPicture> LoadPicture(const std::filesystem::path& path, TPictureLoadError& error);
