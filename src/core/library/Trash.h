#pragma once

#include <QByteArray>
#include <QString>

namespace melodrix {

// The desktop's trash, laid out as freedesktop.org's trash layout has it, so that the file
// manager lists what the program trashed and can put it back.

// The user's own trash: $XDG_DATA_HOME/Trash, or ~/.local/share/Trash.
QByteArray HomeTrashDirectory();

// Where a trashed entry went, or why it could not go there.
struct TTrashOutcome {
    QString error;           // empty on success
    QByteArray trashedPath;  // the entry in the trash's files/ folder
    QByteArray infoPath;     // its .trashinfo file
    explicit operator bool() const { return error.isEmpty(); }
};

// Moves the entry at `nativePath` (a file, a folder with all in it, or a link, never what
// the link leads to) into a trash: `homeTrash` when the entry lies on the same file system,
// else the trash at the top of the entry's own file system ($topdir/.Trash/$uid when an
// administrator made $topdir/.Trash, else $topdir/.Trash-$uid). The entry is renamed, never
// copied, so nothing is lost half way: either it is in the trash with its info file
// written in full beside it, or it is where it was. The info file, which names the
// entry's old place, is written before the entry moves.
TTrashOutcome MoveToTrash(const QByteArray& nativePath,
                          const QByteArray& homeTrash = HomeTrashDirectory());

// The "Path" value of an info file: the path's bytes percent-encoded as in a URL, "/" and
// the characters a URL needs not escape kept.
QByteArray TrashInfoPathText(const QByteArray& path);

}  // namespace melodrix
