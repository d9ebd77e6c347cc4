#include "CoverWriter.h"

#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>
#include <vector>

namespace {

using TagLib::ID3v2::AttachedPictureFrame;

enum class Container { Id3Mpeg, Id3Wav, Mp4, Flac, OggVorbis, Opus, Asf, None };

Container containerOf(const std::string& extension) {
    if (extension == ".mp3")
        return Container::Id3Mpeg;
    if (extension == ".wav")
        return Container::Id3Wav;
    if (extension == ".m4a" || extension == ".m4b" || extension == ".mp4")
        return Container::Mp4;
    if (extension == ".flac")
        return Container::Flac;
    if (extension == ".ogg" || extension == ".oga")
        return Container::OggVorbis;
    if (extension == ".opus")
        return Container::Opus;
    if (extension == ".wma" || extension == ".asf")
        return Container::Asf;
    return Container::None; // a raw ".aac" stream has no place for tags
}

// ffmpeg carries a source's cover as an untyped ("other") picture; it is the
// same cover, so it is replaced as well.
template <typename Type> bool isReplacedType(Type type) {
    return type == Type::FrontCover || type == Type::Other;
}

// --- ID3v2 (MP3, WAV) -----------------------------------------------------

void replaceFrontCover(TagLib::ID3v2::Tag& tag, const Picture& picture) {
    const TagLib::ID3v2::FrameList frames = tag.frameList("APIC"); // a copy: frames go away below
    for (TagLib::ID3v2::Frame* frame : frames) {
        const auto* apic = dynamic_cast<AttachedPictureFrame*>(frame);
        if (apic && isReplacedType(apic->type()))
            tag.removeFrame(frame, true);
    }
    auto* frame = new AttachedPictureFrame;
    frame->setMimeType(picture.mimeType());
    frame->setType(AttachedPictureFrame::FrontCover);
    frame->setPicture(picture.data);
    tag.addFrame(frame);
}

bool hasOnlyFrontCover(const TagLib::ID3v2::Tag* tag, const Picture& picture) {
    if (!tag)
        return false;
    int covers = 0;
    bool same = false;
    for (TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
        const auto* apic = dynamic_cast<AttachedPictureFrame*>(frame);
        if (apic && isReplacedType(apic->type())) {
            ++covers;
            same = apic->picture() == picture.data && apic->mimeType() == picture.mimeType();
        }
    }
    return covers == 1 && same;
}

// --- FLAC picture blocks and Xiph comments (FLAC, Ogg Vorbis, Opus) --------

TagLib::FLAC::Picture* newFlacPicture(const Picture& picture) {
    auto* block = new TagLib::FLAC::Picture;
    block->setType(TagLib::FLAC::Picture::FrontCover);
    block->setMimeType(picture.mimeType());
    block->setData(picture.data);
    return block;
}

template <typename Holder> void replacePictureBlockCover(Holder& holder, const Picture& picture) {
    // The list a Xiph comment hands out shares its owning storage: it must be gone
    // before pictures are removed, or it would delete them a second time.
    std::vector<TagLib::FLAC::Picture*> replaced;
    for (TagLib::FLAC::Picture* block : holder.pictureList()) {
        if (isReplacedType(block->type()))
            replaced.push_back(block);
    }
    for (TagLib::FLAC::Picture* block : replaced)
        holder.removePicture(block, true);
    holder.addPicture(newFlacPicture(picture));
}

template <typename Holder> bool hasOnlyPictureBlockCover(Holder& holder, const Picture& picture) {
    int covers = 0;
    bool same = false;
    for (TagLib::FLAC::Picture* block : holder.pictureList()) {
        if (isReplacedType(block->type())) {
            ++covers;
            same = block->data() == picture.data && block->mimeType() == picture.mimeType();
        }
    }
    return covers == 1 && same;
}

// --- MP4 "covr" (AAC in .m4a/.m4b, ALAC) -----------------------------------

TagLib::MP4::CoverArt mp4Cover(const Picture& picture) {
    return TagLib::MP4::CoverArt(picture.format == Picture::Format::Png ? TagLib::MP4::CoverArt::PNG
                                                                        : TagLib::MP4::CoverArt::JPEG,
                                 picture.data);
}

// --- ASF "WM/Picture" (WMA) -------------------------------------------------

const TagLib::String AsfPictureKey("WM/Picture");

void replaceFrontCover(TagLib::ASF::Tag& tag, const Picture& picture) {
    TagLib::ASF::AttributeList kept;
    for (const TagLib::ASF::Attribute& attribute : tag.attribute(AsfPictureKey)) {
        const TagLib::ASF::Picture old = attribute.toPicture();
        if (!old.isValid() || !isReplacedType(old.type()))
            kept.append(attribute);
    }
    TagLib::ASF::Picture cover;
    cover.setType(TagLib::ASF::Picture::FrontCover);
    cover.setMimeType(picture.mimeType());
    cover.setPicture(picture.data);
    kept.append(TagLib::ASF::Attribute(cover));
    tag.setAttribute(AsfPictureKey, kept);
}

bool hasOnlyFrontCover(const TagLib::ASF::Tag& tag, const Picture& picture) {
    int covers = 0;
    bool same = false;
    for (const TagLib::ASF::Attribute& attribute : tag.attribute(AsfPictureKey)) {
        const TagLib::ASF::Picture cover = attribute.toPicture();
        if (cover.isValid() && isReplacedType(cover.type())) {
            ++covers;
            same = cover.picture() == picture.data && cover.mimeType() == picture.mimeType();
        }
    }
    return covers == 1 && same;
}

// TagLib accepts almost anything as MPEG; a file must show real audio first.
template <typename Media> bool isAudioFile(Media& media) {
    return media.isValid() && media.audioProperties() && media.audioProperties()->sampleRate() > 0;
}

} // namespace

bool canHoldPicture(const std::string& extension) {
    return containerOf(extension) != Container::None;
}

CoverResult writeFrontCover(const std::filesystem::path& file, const std::string& extension,
                            const Picture& picture) {
    const char* name = file.c_str();
    switch (containerOf(extension)) {
    case Container::Id3Mpeg: {
        TagLib::MPEG::File media(name);
        if (!isAudioFile(media))
            return CoverResult::Unreadable;
        replaceFrontCover(*media.ID3v2Tag(true), picture);
        // Only the ID3v2 tag is written; an ID3v1 or APE tag stays as it is.
        return media.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4,
                          TagLib::File::DoNotDuplicate)
                   ? CoverResult::Written
                   : CoverResult::WriteFailed;
    }
    case Container::Id3Wav: {
        TagLib::RIFF::WAV::File media(name);
        if (!isAudioFile(media))
            return CoverResult::Unreadable;
        replaceFrontCover(*media.ID3v2Tag(), picture);
        return media.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v4)
                   ? CoverResult::Written
                   : CoverResult::WriteFailed;
    }
    case Container::Mp4: {
        TagLib::MP4::File media(name);
        if (!isAudioFile(media) || !media.tag())
            return CoverResult::Unreadable;
        TagLib::MP4::CoverArtList covers;
        covers.append(mp4Cover(picture));
        media.tag()->setItem("covr", TagLib::MP4::Item(covers));
        return media.save() ? CoverResult::Written : CoverResult::WriteFailed;
    }
    case Container::Flac: {
        TagLib::FLAC::File media(name);
        if (!isAudioFile(media))
            return CoverResult::Unreadable;
        replacePictureBlockCover(media, picture);
        return media.save() ? CoverResult::Written : CoverResult::WriteFailed;
    }
    case Container::OggVorbis: {
        TagLib::Ogg::Vorbis::File media(name);
        if (!isAudioFile(media) || !media.tag())
            return CoverResult::Unreadable;
        replacePictureBlockCover(*media.tag(), picture);
        return media.save() ? CoverResult::Written : CoverResult::WriteFailed;
    }
    case Container::Opus: {
        TagLib::Ogg::Opus::File media(name);
        if (!isAudioFile(media) || !media.tag())
            return CoverResult::Unreadable;
        replacePictureBlockCover(*media.tag(), picture);
        return media.save() ? CoverResult::Written : CoverResult::WriteFailed;
    }
    case Container::Asf: {
        TagLib::ASF::File media(name);
        if (!isAudioFile(media) || !media.tag())
            return CoverResult::Unreadable;
        replaceFrontCover(*media.tag(), picture);
        return media.save() ? CoverResult::Written : CoverResult::WriteFailed;
    }
    case Container::None:
        break;
    }
    return CoverResult::FormatHasNoPicture;
}

bool hasFrontCover(const std::filesystem::path& file, const std::string& extension, const Picture& picture) {
    const char* name = file.c_str();
    switch (containerOf(extension)) {
    case Container::Id3Mpeg: {
        TagLib::MPEG::File media(name, false);
        return media.isValid() && hasOnlyFrontCover(media.ID3v2Tag(), picture);
    }
    case Container::Id3Wav: {
        TagLib::RIFF::WAV::File media(name, false);
        return media.isValid() && hasOnlyFrontCover(media.ID3v2Tag(), picture);
    }
    case Container::Mp4: {
        TagLib::MP4::File media(name, false);
        if (!media.isValid() || !media.tag())
            return false;
        const TagLib::MP4::CoverArtList covers = media.tag()->item("covr").toCoverArtList();
        return covers.size() == 1 && covers.front().data() == picture.data;
    }
    case Container::Flac: {
        TagLib::FLAC::File media(name, false);
        return media.isValid() && hasOnlyPictureBlockCover(media, picture);
    }
    case Container::OggVorbis: {
        TagLib::Ogg::Vorbis::File media(name, false);
        return media.isValid() && media.tag() && hasOnlyPictureBlockCover(*media.tag(), picture);
    }
    case Container::Opus: {
        TagLib::Ogg::Opus::File media(name, false);
        return media.isValid() && media.tag() && hasOnlyPictureBlockCover(*media.tag(), picture);
    }
    case Container::Asf: {
        TagLib::ASF::File media(name, false);
        return media.isValid() && media.tag() && hasOnlyFrontCover(*media.tag(), picture);
    }
    case Container::None:
        break;
    }
    return false;
}
