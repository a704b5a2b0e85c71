#pragma once
// Finding and opening the files to check by their exact bytes: names that are
// not UTF-8, paths longer than PATH_MAX and folders that cannot be listed are
// all reported, never passed over.

#include "Platform.h"

#include <QByteArray>
#include <QList>

#include <memory>

namespace lumbrik {

// One line of the checker's output to come: a file to check, or a folder that
// could not be listed (iErrno says why).
struct WalkEntry {
    QByteArray abPath;
    bool bFolder = false;
    int iErrno = 0;
};

struct Walk {
    QList<WalkEntry> entries;       // in the order of the arguments, each folder's sorted
    QList<QByteArray> emptyFolders; // listed whole, and holding no *.png
};

// Each path named that is not a folder, and every *.png (any case, not hidden)
// below each folder named, recursively; symbolic links to folders are not followed.
Walk walkPaths(const QList<QByteArray> &paths);

struct OpenedFile {
    std::unique_ptr<ByteSource> file; // null when the file cannot be checked
    int iErrno = 0;           // why not
    bool bNotRegular = false; // a FIFO, device or folder: opening it could block or never end
    qint64 iSize = 0;
};

// Opens the file at abPath for reading, however long the path, if it is a regular file.
OpenedFile openRegularFile(const QByteArray &abPath);

} // namespace lumbrik
