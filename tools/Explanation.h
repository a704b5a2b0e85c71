#pragma once
// Why a check ended as it did, in plain words with byte offsets.

#include "SealCheck.h"

#include <QString>
#include <QStringList>

namespace lumbrik {

struct Explanation {
    QString sCause;      // a short code: "not_png", "seal_mismatch", ... or "intact"
    QString sText;       // the reason in words
    QStringList notes;   // for an intact voucher: what is still worth knowing
};

// Explains report, the check of a file of iSize bytes whose extraction left
// ErrMsg; sUnreadable says why a file that could not be opened could not.
Explanation explain(const SealReport &report, const QString &ErrMsg, const QString &sUnreadable, qint64 iSize);

} // namespace lumbrik
