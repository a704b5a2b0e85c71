// A program of another project that checks one voucher through lumbrik::verify.
#include "Voucher.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    QString sSignCZ, sSignDw, ErrMsg;
    const bool bIntact = lumbrik::CheckNonTaxVoucher(QString::fromLocal8Bit(argv[1]), sSignCZ, sSignDw, ErrMsg);
    QString sCZ, sDw, sErr;
    lumbrik::GetXMLData(QStringLiteral("<E><EInvoiceSignature><Signature id=\"InvoicingParty\"><SignatureValue>x"
                                       "</SignatureValue></Signature></EInvoiceSignature></E>"), sCZ, sDw, sErr);
    std::printf("%s %s\n", bIntact ? "intact" : "altered", qPrintable(sDw));
    return bIntact && sDw == QStringLiteral("x") ? 0 : 1;
}
