// coverstamp "<converted file>" "<picture file>": writes the picture into the
// file as its front cover. Exit code 0 only when the picture is in the file
// afterwards; otherwise one line on standard error says why.

#include "CoverWriter.h"
#include "Picture.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>
#include <taglib/tdebuglistener.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

enum ExitCode : int {
    Success = 0,
    WrongArguments = 2,
    FileUnreadable = 3,
    PictureUnreadable = 4,
    PictureNotJpegOrPng = 5,
    FormatHasNoPicture = 6,
    WriteFailed = 7,
};

int fail(int code, const std::string& reason) {
    std::cerr << "coverstamp: " << reason << '\n';
    return code;
}

// TagLib's own diagnostics would add lines to the one-line reason.
class QuietTagLib : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

// The file is edited as a copy beside it that replaces it in one step, so
// a failure or an interruption never leaves it half-written. The copy is removed
// when the tool is asked to end meanwhile.
char WorkCopyPath[4096];
volatile sig_atomic_t HaveWorkCopy = 0;

extern "C" void removeWorkCopyAndEnd(int signalNumber) {
    if (HaveWorkCopy)
        ::unlink(WorkCopyPath);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

void removeWorkCopyOnSignals() {
    struct sigaction action {};
    action.sa_handler = removeWorkCopyAndEnd;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
}

void removeWorkCopy(const fs::path& workCopy) {
    HaveWorkCopy = 0;
    std::error_code ignored;
    fs::remove(workCopy, ignored);
}

std::string lowerCaseExtension(const fs::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3 || argv[1][0] == '\0' || argv[2][0] == '\0')
        return fail(WrongArguments, "usage: coverstamp <converted file> <picture file>");
    const fs::path file = fs::absolute(argv[1]);
    const fs::path picturePath = argv[2];

    std::error_code error;
    if (!fs::is_regular_file(file, error) || !std::ifstream(file, std::ios::binary))
        return fail(FileUnreadable, "cannot read " + file.string());

    PictureLoadError pictureError{};
    const std::optional<Picture> picture = loadPicture(picturePath, pictureError);
    if (!picture) {
        if (pictureError == PictureLoadError::NotJpegOrPng)
            return fail(PictureNotJpegOrPng, picturePath.string() + " is not a JPEG or PNG picture");
        return fail(PictureUnreadable, "cannot read the picture " + picturePath.string());
    }

    const std::string extension = lowerCaseExtension(file);
    if (!canHoldPicture(extension))
        return fail(FormatHasNoPicture,
                    "a " + (extension.empty() ? std::string("file without extension") : extension + " file") +
                        " cannot hold a picture");
    if (::access(file.c_str(), W_OK) != 0)
        return fail(WriteFailed, "cannot write " + file.string() + ": " + std::strerror(errno));

    QuietTagLib quiet;
    TagLib::setDebugListener(&quiet);

    const fs::path workCopy = file.parent_path() / (".coverstamp-" + std::to_string(::getpid()) + ".tmp");
    if (workCopy.native().size() >= sizeof WorkCopyPath)
        return fail(WriteFailed, "the path is too long: " + file.string());
    std::strcpy(WorkCopyPath, workCopy.c_str());
    removeWorkCopyOnSignals();
    HaveWorkCopy = 1;
    fs::copy_file(file, workCopy, fs::copy_options::overwrite_existing, error);
    if (!error)
        fs::permissions(workCopy, fs::status(file).permissions(), error);
    if (error) {
        removeWorkCopy(workCopy);
        return fail(WriteFailed, "cannot write beside " + file.string() + ": " + error.message());
    }

    switch (writeFrontCover(workCopy, extension, *picture)) {
    case CoverResult::Written:
        break;
    case CoverResult::Unreadable:
        removeWorkCopy(workCopy);
        return fail(FileUnreadable, file.string() + " is not a readable " + extension + " file");
    case CoverResult::FormatHasNoPicture:
        removeWorkCopy(workCopy);
        return fail(FormatHasNoPicture, "a " + extension + " file cannot hold a picture");
    case CoverResult::WriteFailed:
        removeWorkCopy(workCopy);
        return fail(WriteFailed, "cannot write the picture into " + file.string());
    }
    if (!hasFrontCover(workCopy, extension, *picture)) {
        removeWorkCopy(workCopy);
        return fail(WriteFailed, "the picture is not in " + file.string() + " after writing");
    }
    fs::rename(workCopy, file, error);
    if (error) {
        removeWorkCopy(workCopy);
        return fail(WriteFailed, "cannot replace " + file.string() + ": " + error.message());
    }
    HaveWorkCopy = 0;
    return Success;
}
