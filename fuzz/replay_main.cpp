// Replays files through a fuzz target without libFuzzer: every file named, and
// every file in every folder named. Exits non-zero if a named path is missing;
// a crash ends the run as it would under the fuzzer.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool replayFile(const QString &sPath)
{
    QFile f(sPath);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(sPath));
        return false;
    }
    const QByteArray ab = f.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(ab.constData()), size_t(ab.size()));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    int iFiles = 0;
    bool bAllRead = true;
    for (int i = 1; i < argc; ++i) {
        const QString sArg = QString::fromLocal8Bit(argv[i]);
        QStringList paths{sArg};
        if (QFileInfo(sArg).isDir()) {
            paths.clear();
            for (const QString &sName : QDir(sArg).entryList(QDir::Files, QDir::Name))
                paths << QDir(sArg).filePath(sName);
        }
        for (const QString &sPath : paths) {
            bAllRead = replayFile(sPath) && bAllRead;
            ++iFiles;
        }
    }
    std::printf("replayed %d files\n", iFiles);
    return bAllRead ? 0 : 1;
}
