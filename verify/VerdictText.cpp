#include "VerdictText.h"

#include <QFileInfo>

namespace lumbrik {

QString verdictText(bool bIntact, const QString &sFile)
{
    const QString sName = QFileInfo(sFile).fileName();
    return bIntact ? QString::fromUtf8("自应用本签名以来，“%1”没有被篡改。").arg(sName)
                   : QString::fromUtf8("自应用本签名以来，“%1”已被篡改，请停止使用。").arg(sName);
}

} // namespace lumbrik
