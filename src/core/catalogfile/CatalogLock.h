#pragma once

#include <QByteArray>
#include <QString>

#include "core/base/FileStamp.h"
#include "core/catalog/Sinks.h"

namespace melodrix {

// Shown while another process holds the lock of a catalog.
inline const QString kWaitingForCatalog =
    QStringLiteral("Waiting for another program to finish writing %1...");

// The write lock of one catalog file, shared by every process of the program: the desktop
// program, a second window, melodrix-cli in a shell or a cron job, on this machine or on
// another one that mounts the same share. It is a POSIX byte-range lock on the catalog file
// itself, which NFS and SMB carry to the server and which the system drops when its process
// ends, so a writer that died never blocks anyone.
//
// The lock belongs to the file the path names when it is taken: a writer replaces the file
// while it holds the lock, so a waiter that then gets the lock of the old file sees that the
// path names another one now and takes the lock of that one instead.
class TCatalogLock {
public:
    // Takes the lock, waiting while another process holds it; after a short wait the
    // progress sink shows kWaitingForCatalog with a Cancel button. Throws TCancelledError
    // when the user cancels, TMelodrixError when the path names something other than a
    // regular file or the file cannot be opened for writing. When there is no file at the
    // path, nothing is locked and Exists() is false.
    TCatalogLock(const QString& path, IProgressSink& progress);
    ~TCatalogLock();
    TCatalogLock(const TCatalogLock&) = delete;
    TCatalogLock& operator=(const TCatalogLock&) = delete;

    bool Exists() const { return handle_ >= 0; }
    // The file as it is now, under the lock.
    const TFileStamp& Stamp() const { return stamp_; }
    const QString& Path() const { return path_; }
    const QByteArray& NativePath() const { return native_; }

private:
    enum class TAttempt { Locked, Busy, Absent, Replaced };
    TAttempt TryLock();
    void Release();

    QString path_;
    QByteArray native_;
    int handle_ = -1;
    TFileStamp stamp_;
};

}  // namespace melodrix
