#pragma once
// Voucher verification: whether a voucher's seal holds, and its two signatures.
//
// A voucher is a PNG picture whose IEND chunk carries the sealed payload
// {"sign":"<32 hex digits>","data":"<voucher XML>"}. The seal is
// md5hex(md5hex(all IDAT data, in file order) + salt); it covers the
// compressed image data only, not the XML and not the signatures.
// Text is UTF-16, as the system's own strings are.

#include <string>

namespace lumbrik {

// Checks the voucher at sFile. True if and only if the file was read to its end
// without error and its stored seal equals the recomputed one. On failure ErrMsg
// is "获取加密信息失败！"; after success it may still hold the signature
// extraction's error text, which the verdict does not depend on.
// sSignCZ and sSignDw are what the extraction left for the last payload read.
bool CheckNonTaxVoucher(const std::u16string &sFile, std::u16string &sSignCZ, std::u16string &sSignDw, std::u16string &ErrMsg);

// Copies the finance signature (Signature id="SupervisorParty") into sSignCZ and
// the issuer signature (id="InvoicingParty") into sSignDw. True when at least one
// of them is not empty and no error stopped the extraction; ErrMsg says why not.
bool GetXMLData(const std::u16string &sXmlData, std::u16string &sSignCZ, std::u16string &sSignDw, std::u16string &ErrMsg);

} // namespace lumbrik
