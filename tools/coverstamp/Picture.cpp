#include "Picture.h"

#include <fstream>
#include <iterator>

std::optional<TPicture> LoadPicture(const std::filesystem::path& path, TPictureLoadError& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) {
        error = TPictureLoadError::Unreadable;
        return std::nullopt;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = TPictureLoadError::Unreadable;
        return std::nullopt;
    }
    static const std::string JpegMagic("\xFF\xD8\xFF", 3);
    static const std::string PngMagic("\x89PNG\r\n\x1A\n", 8);
    TPicture picture;
    if (bytes.compare(0, JpegMagic.size(), JpegMagic) == 0) {
        picture.Format = TPicture::TFormat::Jpeg;
    } else if (bytes.compare(0, PngMagic.size(), PngMagic) == 0) {
        picture.Format = TPicture::TFormat::Png;
    } else {
        error = TPictureLoadError::NotJpegOrPng;
        return std::nullopt;
    }
    picture.Data = TagLib::ByteVector(bytes.data(), static_cast<unsigned int>(bytes.size()));
    return picture;
}
