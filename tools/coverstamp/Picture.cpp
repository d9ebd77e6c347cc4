#include "Picture.h"

#include <fstream>
#include <iterator>

std::optional<Picture> loadPicture(const std::filesystem::path& path, PictureLoadError& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) {
        error = PictureLoadError::Unreadable;
        return std::nullopt;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = PictureLoadError::Unreadable;
        return std::nullopt;
    }
    static const std::string jpegMagic("\xFF\xD8\xFF", 3);
    static const std::string pngMagic("\x89PNG\r\n\x1A\n", 8);
    Picture picture;
    if (bytes.compare(0, jpegMagic.size(), jpegMagic) == 0) {
        picture.format = Picture::Format::Jpeg;
    } else if (bytes.compare(0, pngMagic.size(), pngMagic) == 0) {
        picture.format = Picture::Format::Png;
    } else {
        error = PictureLoadError::NotJpegOrPng;
        return std::nullopt;
    }
    picture.data = TagLib::ByteVector(bytes.data(), static_cast<unsigned int>(bytes.size()));
    return picture;
}
