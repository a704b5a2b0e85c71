// lumbrik-check: checks voucher files from the command line, one line per file.

#include "VerdictText.h"
#include "Voucher.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace {

const char USAGE[] = "usage: lumbrik-check [--json] FILE...\n";

struct Options {
    bool bJson = false;
    QStringList files;
};

struct Outcome {
    QString sFile;
    bool bIntact = false;
    QString sSignCZ, sSignDw, ErrMsg;
};

void write(FILE *stream, const QString &s)
{
    const QByteArray ab = s.toUtf8();
    std::fwrite(ab.constData(), 1, size_t(ab.size()), stream);
}

// Keeps a signature on its one line: line breaks, tabs and backslashes escaped.
QString escapeLine(const QString &s)
{
    QString sOut;
    sOut.reserve(s.size());
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '\\': sOut += QLatin1String("\\\\"); break;
        case '\n': sOut += QLatin1String("\\n"); break;
        case '\r': sOut += QLatin1String("\\r"); break;
        case '\t': sOut += QLatin1String("\\t"); break;
        default: sOut += c;
        }
    }
    return sOut;
}

QString jsonString(const QString &s)
{
    QString sOut = QStringLiteral("\"");
    for (const QChar c : s) {
        if (c == u'"' || c == u'\\')
            sOut += u'\\' + QString(c);
        else if (c.unicode() < 0x20)
            sOut += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            sOut += c;
    }
    return sOut + u'"';
}

QString textLine(const Outcome &o)
{
    QString sLine = o.sFile + u'\t' + lumbrik::verdictText(o.bIntact, o.sFile);
    if (o.bIntact) {
        sLine += QString::fromUtf8("\t财政签名：") + escapeLine(o.sSignCZ);
        sLine += QString::fromUtf8("\t单位签名：") + escapeLine(o.sSignDw);
    }
    return sLine + u'\n';
}

QString jsonLine(const Outcome &o)
{
    QString sLine = QStringLiteral("{\"file\":") + jsonString(o.sFile)
        + QStringLiteral(",\"intact\":") + (o.bIntact ? QStringLiteral("true") : QStringLiteral("false"));
    if (o.bIntact) {
        sLine += QStringLiteral(",\"finance_signature\":") + jsonString(o.sSignCZ);
        sLine += QStringLiteral(",\"issuer_signature\":") + jsonString(o.sSignDw);
    } else {
        sLine += QStringLiteral(",\"error\":") + jsonString(o.ErrMsg);
    }
    return sLine + QStringLiteral("}\n");
}

// Parses the arguments; false with a message on a usage error.
bool parseArguments(const QStringList &args, Options &options, QString &sError)
{
    bool bOptionsEnded = false;
    for (const QString &sArg : args) {
        if (bOptionsEnded || !sArg.startsWith(u'-') || sArg == u"-")
            options.files << sArg;
        else if (sArg == u"--")
            bOptionsEnded = true;
        else if (sArg == u"--json")
            options.bJson = true;
        else {
            sError = QStringLiteral("lumbrik-check: unknown option '%1'\n").arg(sArg);
            return false;
        }
    }
    if (options.files.isEmpty())
        sError = QStringLiteral("lumbrik-check: no file named\n");
    return sError.isEmpty();
}

class Progress
{
public:
    explicit Progress(qsizetype iTotal) : iTotal(iTotal), bShown(iTotal > 1 && isatty(STDERR_FILENO)) {}

    // Takes the progress line off the terminal before a result is printed.
    void clear() const
    {
        if (bShown)
            std::fputs("\r\033[K", stderr);
    }

    void show(qsizetype iDone) const
    {
        if (bShown)
            std::fprintf(stderr, "\r%lld/%lld checked", qlonglong(iDone), qlonglong(iTotal));
    }

private:
    qsizetype iTotal;
    bool bShown;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    QString sError;
    if (!parseArguments(app.arguments().mid(1), options, sError)) {
        write(stderr, sError);
        std::fputs(USAGE, stderr);
        return 2;
    }

    const Progress progress(options.files.size());
    bool bAllIntact = true;
    for (qsizetype i = 0; i < options.files.size(); ++i) {
        Outcome o;
        o.sFile = options.files[i];
        o.bIntact = lumbrik::CheckNonTaxVoucher(o.sFile, o.sSignCZ, o.sSignDw, o.ErrMsg);
        bAllIntact = bAllIntact && o.bIntact;
        progress.clear();
        write(stdout, options.bJson ? jsonLine(o) : textLine(o));
        std::fflush(stdout);
        progress.show(i + 1);
    }
    progress.clear();
    return bAllIntact ? 0 : 1;
}
