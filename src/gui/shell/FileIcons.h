#pragma once

#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

namespace melodrix {

// Small pictures for catalog items, judged by name only: catalogs of absent disks
// still show them. One icon per extension is looked up once and then kept. Made after
// the application object exists.
class TFileIcons {
public:
    TFileIcons();

    const QIcon& Folder() const { return folder_; }
    const QIcon& OpenFolder() const { return openFolder_; }
    // The icon of a file by the extension of its name; a generic one when unknown.
    const QIcon& ForFileName(const QString& name);

    // Library pictures: a group and a catalog.
    const QIcon& Group() const { return folder_; }
    const QIcon& Catalog() const { return catalog_; }

private:
    QMimeDatabase mimeTypes_;
    QHash<QString, QIcon> byExtension_;
    QIcon folder_;
    QIcon openFolder_;
    QIcon genericFile_;
    QIcon catalog_;
};

// Makes the themed icons available when the desktop names no theme.
void UseIconThemeFallback();

// A picture drawn by the program itself, for when the icon theme lacks one.
QIcon PaintedIcon(const QString& kind, const QColor& colour);

}  // namespace melodrix
