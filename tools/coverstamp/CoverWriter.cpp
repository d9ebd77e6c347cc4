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

enum class TContainer { Id3Mpeg, Id3Wav, Mp4, Flac, OggVorbis, Opus, Asf, None };

TContainer ContainerOf(const std::string& extension) {
    if (extension == ".mp3")
        return TContainer::Id3Mpeg;
    if (extension == ".wav")
        return TContainer::Id3Wav;
    if (extension == ".m4a" || extension == ".m4b" || extension == ".mp4")
        return TContainer::Mp4;
    if (extension == ".flac")
        return TContainer::Flac;
    if (extension == ".ogg" || extension == ".oga")
        return TContainer::OggVorbis;
    if (extension == ".opus")
        return TContainer::Opus;
    if (extension == ".wma" || extension == ".asf")
        return TContainer::Asf;
    return TContainer::None; // a raw ".aac" stream has no place for tags
}

// ffmpeg carries a source's cover as an untyped ("other") picture; it is the
// same cover, so it is replaced as well.
template <typename Type> bool IsReplacedType(Type type) {
    return type == Type::FrontCover || type == Type::Other;
}

// --- ID3v2 (MP3, WAV) -----------------------------------------------------

void ReplaceFrontCover(TagLib::ID3v2::Tag& tag, const TPicture& picture) {
    const TagLib::ID3v2::FrameList frames = tag.frameList("APIC"); // a copy: frames go away below
    for (TagLib::ID3v2::Frame* frame : frames) {
        const auto* apic = dynamic_cast<AttachedPictureFrame*>(frame);
        if (apic && IsReplacedType(apic->type()))
            tag.removeFrame(frame, true);
    }
    auto* frame = new AttachedPictureFrame;
    frame->setMimeType(picture.MimeType());
    frame->setType(AttachedPictureFrame::FrontCover);
    frame->setPicture(picture.Data);
    tag.addFrame(frame);
}

bool HasOnlyFrontCover(const TagLib::ID3v2::Tag* tag, const TPicture& picture) {
    if (!tag)
        return false;
    int covers = 0;
    bool same = false;
    for (TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
        const auto* apic = dynamic_cast<AttachedPictureFrame*>(frame);
        if (apic && IsReplacedType(apic->type())) {
            ++covers;
            same = apic->picture() == picture.Data && apic->mimeType() == picture.MimeType();
        }
    }
    return covers == 1 && same;
}

// --- FLAC picture blocks and Xiph comments (FLAC, Ogg Vorbis, Opus) --------

TagLib::FLAC::Picture* NewFlacPicture(const TPicture& picture) {
    auto* block = new TagLib::FLAC::Picture;
    block->setType(TagLib::FLAC::Picture::FrontCover);
    block->setMimeType(picture.MimeType());
    block->setData(picture.Data);
    return block;
}

template <typename Holder> void ReplacePictureBlockCover(Holder& holder, const TPicture& picture) {
    // The list a Xiph comment hands out shares its owning storage: it must be gone
    // before pictures are removed, or it would delete them a second time.
    std::vector<TagLib::FLAC::Picture*> replaced;
    for (TagLib::FLAC::Picture* block : holder.pictureList()) {
        if (IsReplacedType(block->type()))
            replaced.push_back(block);
    }
    for (TagLib::FLAC::Picture* block : replaced)
        holder.removePicture(block, true);
    holder.addPicture(NewFlacPicture(picture));
}

template <typename Holder> bool HasOnlyPictureBlockCover(Holder& holder, const TPicture& picture) {
    int covers = 0;
    bool same = false;
    for (TagLib::FLAC::Picture* block : holder.pictureList()) {
        if (IsReplacedType(block->type())) {
            ++covers;
            same = block->data() == picture.Data && block->mimeType() == picture.MimeType();
        }
    }
    return covers == 1 && same;
}

// --- MP4 "covr" (AAC in .m4a/.m4b, ALAC) -----------------------------------

TagLib::MP4::CoverArt Mp4Cover(const TPicture& picture) {
    return TagLib::MP4::CoverArt(picture.Format == TPicture::TFormat::Png ? TagLib::MP4::CoverArt::PNG
                                                                          : TagLib::MP4::CoverArt::JPEG,
                                 picture.Data);
}

// --- ASF "WM/Picture" (WMA) -------------------------------------------------

const TagLib::String AsfPictureKey("WM/Picture");

void ReplaceFrontCover(TagLib::ASF::Tag& tag, const TPicture& picture) {
    TagLib::ASF::AttributeList kept;
    for (const TagLib::ASF::Attribute& attribute : tag.attribute(AsfPictureKey)) {
        const TagLib::ASF::Picture old = attribute.toPicture();
        if (!old.isValid() || !IsReplacedType(old.type()))
            kept.append(attribute);
    }
    TagLib::ASF::Picture cover;
    cover.setType(TagLib::ASF::Picture::FrontCover);
    cover.setMimeType(picture.MimeType());
    cover.setPicture(picture.Data);
    kept.append(TagLib::ASF::Attribute(cover));
    tag.setAttribute(AsfPictureKey, kept);
}

bool HasOnlyFrontCover(const TagLib::ASF::Tag& tag, const TPicture& picture) {
    int covers = 0;
    bool same = false;
    for (const TagLib::ASF::Attribute& attribute : tag.attribute(AsfPictureKey)) {
        const TagLib::ASF::Picture cover = attribute.toPicture();
        if (cover.isValid() && IsReplacedType(cover.type())) {
            ++covers;
            same = cover.picture() == picture.Data && cover.mimeType() == picture.MimeType();
        }
    }
    return covers == 1 && same;
}

// TagLib accepts almost anything as MPEG; a file must show real audio first.
template <typename Media> bool IsAudioFile(Media& media) {
    return media.isValid() && media.audioProperties() && media.audioProperties()->sampleRate() > 0;
}

} // namespace

bool CanHoldPicture(const std::string& extension) {
    return ContainerOf(extension) != TContainer::None;
}

TCoverResult WriteFrontCover(const std::filesystem::path& file, const std::string& extension,
                             const TPicture& picture) {
    const char* name = file.c_str();
    switch (ContainerOf(extension)) {
    case TContainer::Id3Mpeg: {
        TagLib::MPEG::File media(name);
        if (!IsAudioFile(media))
            return TCoverResult::Unreadable;
        ReplaceFrontCover(*media.ID3v2Tag(true), picture);
        // Only the ID3v2 tag is written; an ID3v1 or APE tag stays as it is.
        return media.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4,
                          TagLib::File::DoNotDuplicate)
                   ? TCoverResult::Written
                   : TCoverResult::WriteFailed;
    }
    case TContainer::Id3Wav: {
        TagLib::RIFF::WAV::File media(name);
        if (!IsAudioFile(media))
            return TCoverResult::Unreadable;
        ReplaceFrontCover(*media.ID3v2Tag(), picture);
        return media.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v4)
                   ? TCoverResult::Written
                   : TCoverResult::WriteFailed;
    }
    case TContainer::Mp4: {
        TagLib::MP4::File media(name);
        if (!IsAudioFile(media) || !media.tag())
            return TCoverResult::Unreadable;
        TagLib::MP4::CoverArtList covers;
        covers.append(Mp4Cover(picture));
        media.tag()->setItem("covr", TagLib::MP4::Item(covers));
        return media.save() ? TCoverResult::Written : TCoverResult::WriteFailed;
    }
    case TContainer::Flac: {
        TagLib::FLAC::File media(name);
        if (!IsAudioFile(media))
            return TCoverResult::Unreadable;
        ReplacePictureBlockCover(media, picture);
        return media.save() ? TCoverResult::Written : TCoverResult::WriteFailed;
    }
    case TContainer::OggVorbis: {
        TagLib::Ogg::Vorbis::File media(name);
        if (!IsAudioFile(media) || !media.tag())
            return TCoverResult::Unreadable;
        ReplacePictureBlockCover(*media.tag(), picture);
        return media.save() ? TCoverResult::Written : TCoverResult::WriteFailed;
    }
    case TContainer::Opus: {
        TagLib::Ogg::Opus::File media(name);
        if (!IsAudioFile(media) || !media.tag())
            return TCoverResult::Unreadable;
        ReplacePictureBlockCover(*media.tag(), picture);
        return media.save() ? TCoverResult::Written : TCoverResult::WriteFailed;
    }
    case TContainer::Asf: {
        TagLib::ASF::File media(name);
        if (!IsAudioFile(media) || !media.tag())
            return TCoverResult::Unreadable;
        ReplaceFrontCover(*media.tag(), picture);
        return media.save() ? TCoverResult::Written : TCoverResult::WriteFailed;
    }
    case TContainer::None:
        break;
    }
    return TCoverResult::FormatHasNoPicture;
}

bool HasFrontCover(const std::filesystem::path& file, const std::string& extension, const TPicture& picture) {
    const char* name = file.c_str();
    switch (ContainerOf(extension)) {
    case TContainer::Id3Mpeg: {
        TagLib::MPEG::File media(name, false);
        return media.isValid() && HasOnlyFrontCover(media.ID3v2Tag(), picture);
    }
    case TContainer::Id3Wav: {
        TagLib::RIFF::WAV::File media(name, false);
        return media.isValid() && HasOnlyFrontCover(media.ID3v2Tag(), picture);
    }
    case TContainer::Mp4: {
        TagLib::MP4::File media(name, false);
        if (!media.isValid() || !media.tag())
            return false;
        const TagLib::MP4::CoverArtList covers = media.tag()->item("covr").toCoverArtList();
        return covers.size() == 1 && covers.front().data() == picture.Data;
    }
    case TContainer::Flac: {
        TagLib::FLAC::File media(name, false);
        return media.isValid() && HasOnlyPictureBlockCover(media, picture);
    }
    case TContainer::OggVorbis: {
        TagLib::Ogg::Vorbis::File media(name, false);
        return media.isValid() && media.tag() && HasOnlyPictureBlockCover(*media.tag(), picture);
    }
    case TContainer::Opus: {
        TagLib::Ogg::Opus::File media(name, false);
        return media.isValid() && media.tag() && HasOnlyPictureBlockCover(*media.tag(), picture);
    }
    case TContainer::Asf: {
        TagLib::ASF::File media(name, false);
        return media.isValid() && media.tag() && HasOnlyFrontCover(*media.tag(), picture);
    }
    case TContainer::None:
        break;
    }
    return false;
}
