// The verification core's platform services, from Qt.

#include "Platform.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace lumbrik::platform {
namespace {

class QtFile : public ByteSource
{
public:
    explicit QtFile(const QString &sFile) : file(sFile) {}

    bool open() { return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && (iSize = file.size(), true); }

    std::int64_t size() const override { return iSize; }
    std::int64_t read(char *p, std::int64_t iMax) override { return file.read(p, iMax); }
    bool seek(std::int64_t iPos) override { return file.seek(iPos); }

private:
    QFile file;
    std::int64_t iSize = 0;
};

class QtMd5 : public Md5
{
public:
    void add(const char *p, std::size_t iCount) override { hash.addData(QByteArrayView(p, qsizetype(iCount))); }
    std::string finish() override { return hash.result().toStdString(); }

private:
    QCryptographicHash hash{QCryptographicHash::Md5};
};

} // namespace

std::unique_ptr<ByteSource> openFile(const std::u16string &sFile)
{
    const QString sPath = QString::fromStdU16String(sFile);
    if (!QFileInfo(sPath).isFile())
        return nullptr;
    auto file = std::make_unique<QtFile>(sPath);
    return file->open() ? std::move(file) : nullptr;
}

std::unique_ptr<Md5> createMd5()
{
    return std::make_unique<QtMd5>();
}

} // namespace lumbrik::platform
