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

int Fail(int code, const std::string& reason) {
    std::cerr << "coverstamp: " << reason << '\n';
    return code;
}

// TagLib's own diagnostics would add lines to the one-line reason.
class TQuietTagLib : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

// The file is edited as a copy beside it that replaces it in one step, so
// a failure or an interruption never leaves it half-written. The copy is removed
// when the tool is asked to end meanwhile.
char WorkCopyPath[4096];
volatile sig_atomic_t HaveWorkCopy = 0;

extern "C" void RemoveWorkCopyAndEnd(int signalNumber) {
    if (HaveWorkCopy)
        ::unlink(WorkCopyPath);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

void RemoveWorkCopyOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveWorkCopyAndEnd;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
}

void RemoveWorkCopy(const fs::path& workCopy) {
    HaveWorkCopy = 0;
    std::error_code ignored;
    fs::remove(workCopy, ignored);
}

std::string LowerCaseExtension(const fs::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3 || argv[1][0] == '\0' || argv[2][0] == '\0')
        return Fail(WrongArguments, "usage: coverstamp <converted file> <picture file>");
    const fs::path file = fs::absolute(argv[1]);
    const fs::path picturePath = argv[2];

    std::error_code error;
    if (!fs::is_regular_file(file, error) || !std::ifstream(file, std::ios::binary))
        return Fail(FileUnreadable, "cannot read " + file.string());

    TPictureLoadError pictureError{};
    const std::optional<TPicture> picture = LoadPicture(picturePath, pictureError);
    if (!picture) {
        if (pictureError == TPictureLoadError::NotJpegOrPng)
            return Fail(PictureNotJpegOrPng, picturePath.string() + " is not a JPEG or PNG picture");
        return Fail(PictureUnreadable, "cannot read the picture " + picturePath.string());
    }

    const std::string extension = LowerCaseExtension(file);
    if (!CanHoldPicture(extension))
        return Fail(FormatHasNoPicture,
                    "a " + (extension.empty() ? std::string("file without extension") : extension + " file") +
                        " cannot hold a picture");
    if (::access(file.c_str(), W_OK) != 0)
        return Fail(WriteFailed, "cannot write " + file.string() + ": " + std::strerror(errno));

    TQuietTagLib quiet;
    TagLib::setDebugListener(&quiet);

    const fs::path workCopy = file.parent_path() / (".coverstamp-" + std::to_string(::getpid()) + ".tmp");
    if (workCopy.native().size() >= sizeof WorkCopyPath)
        return Fail(WriteFailed, "the path is too long: " + file.string());
    std::strcpy(WorkCopyPath, workCopy.c_str());
    RemoveWorkCopyOnSignals();
    HaveWorkCopy = 1;
    fs::copy_file(file, workCopy, fs::copy_options::overwrite_existing, error);
    if (!error)
        fs::permissions(workCopy, fs::status(file).permissions(), error);
    if (error) {
        RemoveWorkCopy(workCopy);
        return Fail(WriteFailed, "cannot write beside " + file.string() + ": " + error.message());
    }

    switch (WriteFrontCover(workCopy, extension, *picture)) {
    case TCoverResult::Written:
        break;
    case TCoverResult::Unreadable:
        RemoveWorkCopy(workCopy);
        return Fail(FileUnreadable, file.string() + " is not a readable " + extension + " file");
    case TCoverResult::FormatHasNoPicture:
        RemoveWorkCopy(workCopy);
        return Fail(FormatHasNoPicture, "a " + extension + " file cannot hold a picture");
    case TCoverResult::WriteFailed:
        RemoveWorkCopy(workCopy);
        return Fail(WriteFailed, "cannot write the picture into " + file.string());
    }
    if (!HasFrontCover(workCopy, extension, *picture)) {
        RemoveWorkCopy(workCopy);
        return Fail(WriteFailed, "the picture is not in " + file.string() + " after writing");
    }
    fs::rename(workCopy, file, error);
    if (error) {
        RemoveWorkCopy(workCopy);
        return Fail(WriteFailed, "cannot replace " + file.string() + ": " + error.message());
    }
    HaveWorkCopy = 0;
    return Success;
}
