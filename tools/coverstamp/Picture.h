#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <taglib/tbytevector.h>

// A cover picture as it goes into a file: the bytes and what they are.
struct Picture {
    enum class Format { Jpeg, Png };
    Format format = Format::Jpeg;
    TagLib::ByteVector data;

    std::string mimeType() const { return format == Format::Png ? "image/png" : "image/jpeg"; }
};

enum class PictureLoadError { Unreadable, NotJpegOrPng };

// Reads a picture file and tells JPEG from PNG by its first bytes, not by its name.
std::optional<Picture> loadPicture(const std::filesystem::path& path, PictureLoadError& error);
