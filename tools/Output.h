#pragma once
// What the checker prints for one file or folder: its line of text or JSON.

#include "Explanation.h"
#include "SealCheck.h"

#include <QByteArray>
#include <QString>

namespace lumbrik {

// What became of one file or folder, in the order of severity of the exit status.
enum class Status {
    Intact,      // the seal holds
    Altered,     // the seal does not match, or the voucher's structure is damaged
    NotAVoucher, // not a PNG file, or a PNG without a sealed payload
    Unreadable,  // missing, no permission, not a regular file, a folder that cannot be listed
};

struct Outcome {
    QByteArray abPath;
    bool bFolder = false;  // a folder that could not be listed
    QString sUnreadable;   // why the file or folder could not be read
    qint64 iSize = 0;      // the file's size, for the explanation
    QString sSignCZ, sSignDw, ErrMsg;
    SealReport report;
};

Status statusOf(const Outcome &o);

// A path as a person can recognise it: valid UTF-8 as it is, a backslash as
// "\\", any other byte as "\xB7"; with bOneLine also tabs and line breaks escaped.
QString printableName(const QByteArray &abPath, bool bOneLine);

// The reason a file or folder could not be read, in the verdicts' language.
QString unreadableReason(int iErrno, bool bNotRegular);

// The outcome's line of text (and, with bExplain, its explanation line) or JSON object.
QString textLines(const Outcome &o, bool bExplain);
QString jsonLine(const Outcome &o, bool bExplain);

} // namespace lumbrik
