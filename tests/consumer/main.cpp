// A program of another project that checks one voucher through lumbrik::verify.
#include "Voucher.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    std::u16string sSignCZ, sSignDw, ErrMsg;
    const bool bIntact = lumbrik::CheckNonTaxVoucher(std::filesystem::path(argv[1]).u16string(), sSignCZ, sSignDw, ErrMsg);
    std::u16string sCZ, sDw, sErr;
    lumbrik::GetXMLData(u"<E><EInvoiceSignature><Signature id=\"InvoicingParty\"><SignatureValue>x"
                        u"</SignatureValue></Signature></EInvoiceSignature></E>", sCZ, sDw, sErr);
    std::printf("%s %s\n", bIntact ? "intact" : "altered", sDw == u"x" ? "x" : "?");
    return bIntact && sDw == u"x" ? 0 : 1;
}
