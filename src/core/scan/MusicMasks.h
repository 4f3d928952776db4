#pragma once

#include <QString>

namespace melodrix {

// The mask lists a new catalog is scanned with (mask-list texts, not paths): MP3 files only,
// the default, or every music format the tag readers know.
inline const QString kMp3MaskList = QStringLiteral("\\.MP3\\");
inline const QString kAllMusicMaskList =
    QStringLiteral("\\.MP3\\.FLAC\\.OGG\\.OGA\\.OPUS\\.M4A\\.MP4\\.M4B\\");

inline const QString& MusicMaskList(bool allMusicFiles) {
    return allMusicFiles ? kAllMusicMaskList : kMp3MaskList;
}

}  // namespace melodrix
