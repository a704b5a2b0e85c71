// Test-only: draws the sample voucher picture and writes examples/voucher.png
// (sealed) and examples/voucher-tampered.png (the amount redrawn, the payload
// kept). Run it again only to change the samples: tests rely on their contents.

#include "VoucherWriter.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

using namespace lumbrik::testing;

namespace {

QImage drawVoucher(const QString &sAmount)
{
    QImage image(900, 560, QImage::Format_RGB32);
    image.fill(QColor(0xFF, 0xFD, 0xF5));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xB0, 0x30, 0x30), 2));
    p.drawRect(30, 30, 840, 500);
    QFont title(QStringLiteral("Noto Serif CJK SC"));
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(30, 50, 840, 50), Qt::AlignCenter, QString::fromUtf8("非税收入统一票据（电子）"));
    QFont body(QStringLiteral("Noto Sans CJK SC"));
    body.setPixelSize(20);
    p.setFont(body);
    p.setPen(Qt::black);
    const QStringList lines = {
        QString::fromUtf8("票据代码：11010124　　票据号码：0000318766"),
        QString::fromUtf8("交款人：示例科技有限公司"),
        QString::fromUtf8("项目名称：行政事业性收费　　数量：1"),
        QString::fromUtf8("金额（小写）：") + sAmount,
        QString::fromUtf8("收款单位：示例市财政局　　开票日期：2026-11-30"),
    };
    for (int i = 0; i < lines.size(); ++i)
        p.drawText(70, 170 + i * 56, lines[i]);
    p.setPen(QPen(QColor(0xD0, 0x20, 0x20), 4));
    p.drawEllipse(QPoint(730, 430), 70, 70);
    p.setFont(title);
    p.drawText(QRect(660, 405, 140, 50), Qt::AlignCenter, QString::fromUtf8("财政"));
    return image;
}

// The PNG file of image, its chunks up to but without the IEND chunk.
QByteArray pngWithoutEnd(const QImage &image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data().chopped(12); // the writer's empty IEND chunk
}

QByteArray imageData(const QByteArray &abPng)
{
    QByteArray abData;
    for (qsizetype i = 8; i + 8 <= abPng.size();) {
        const quint32 iLen = quint32(uchar(abPng[i])) << 24 | quint32(uchar(abPng[i + 1])) << 16
            | quint32(uchar(abPng[i + 2])) << 8 | quint32(uchar(abPng[i + 3]));
        if (abPng.mid(i + 4, 4) == "IDAT")
            abData += abPng.mid(i + 8, iLen);
        i += 12 + iLen;
    }
    return abData;
}

QString seal(const QByteArray &abImageData)
{
    const QByteArray abD1 = QCryptographicHash::hash(abImageData, QCryptographicHash::Md5).toHex();
    return QString::fromLatin1(QCryptographicHash::hash(abD1 + "quvelt-ibrod-58", QCryptographicHash::Md5).toHex());
}

QString base64Lines(const char *sSeed)
{
    QByteArray ab;
    for (int i = 0; i < 4; ++i)
        ab += QCryptographicHash::hash(QByteArray(sSeed) + char('0' + i), QCryptographicHash::Sha256);
    const QByteArray abText = ab.toBase64();
    QStringList lines;
    for (qsizetype i = 0; i < abText.size(); i += 64)
        lines << QString::fromLatin1(abText.mid(i, 64));
    return lines.join(u'\n');
}

void writeFile(const QString &sPath, const QByteArray &ab)
{
    QFile f(sPath);
    if (!f.open(QIODevice::WriteOnly) || f.write(ab) != ab.size())
        qFatal("cannot write %s", qPrintable(sPath));
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("examples"));

    const QByteArray abPng = pngWithoutEnd(drawVoucher(QString::fromUtf8("¥100.00")));
    const QString sXml = QStringLiteral("<EInvoice xmlns=\"urn:example:einvoice\"><Header><EInvoiceCode>11010124</EInvoiceCode>"
                                        "<EInvoiceNumber>0000318766</EInvoiceNumber><TotalAmount>100.00</TotalAmount></Header>"
                                        "<EInvoiceSignature><Signature id=\"InvoicingParty\"><SignatureValue>%1</SignatureValue></Signature>"
                                        "<Signature id=\"SupervisorParty\"><SignatureValue>%2</SignatureValue></Signature>"
                                        "</EInvoiceSignature></EInvoice>")
                             .arg(base64Lines("issuer"), base64Lines("finance"));
    const QByteArray abEnd = chunk("IEND", payload(seal(imageData(abPng)), sXml));
    writeFile(out.filePath(QStringLiteral("voucher.png")), abPng + abEnd);

    const QByteArray abTampered = pngWithoutEnd(drawVoucher(QString::fromUtf8("¥900.00")));
    writeFile(out.filePath(QStringLiteral("voucher-tampered.png")), abTampered + abEnd);
    return 0;
}
