#pragma once

#include <QString>

// What the file list shows of a row: an icon and a short text ("Ready", "45%
// 192kbits/s 30.1x", "Done", "Error", ...). The icons' order is the order of
// the window's image list.
enum class RowIcon { Ready, Converting, Done, Failed, Stopped, Playing };

struct RowState {
    RowIcon icon = RowIcon::Ready;
    QString text = QStringLiteral("Ready");
};

// How one job of a run ended. A file whose cover art could not be written is
// converted all the same, and shows the stopped icon.
enum class JobOutcome { Done, Failed, Stopped, CoverArtFailed };

constexpr RowIcon rowIconOf(JobOutcome outcome) {
    switch (outcome) {
    case JobOutcome::Done:
        return RowIcon::Done;
    case JobOutcome::Failed:
        return RowIcon::Failed;
    case JobOutcome::Stopped:
    case JobOutcome::CoverArtFailed:
        break;
    }
    return RowIcon::Stopped;
}
