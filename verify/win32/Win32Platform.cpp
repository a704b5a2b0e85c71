// The verification core's platform services, from Windows itself: the file
// through CreateFileW, MD5 from BCrypt, the XML from XmlLite.

#include "Platform.h"
#include "win32/Com.h"

#include <windows.h>
#include <bcrypt.h>
#include <objidl.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <cstdio>
#include <deque>
#include <stdexcept>

namespace lumbrik::platform {
namespace {

class Win32File : public ByteSource
{
public:
    Win32File(HANDLE h, std::int64_t iSize) : h(h), iSize(iSize) {}
    Win32File(const Win32File &) = delete;
    Win32File &operator=(const Win32File &) = delete;
    ~Win32File() override { CloseHandle(h); }

    std::int64_t size() const override { return iSize; }

    std::int64_t read(char *p, std::int64_t iMax) override
    {
        DWORD iRead = 0;
        const DWORD iAsk = DWORD(iMax < 0x40000000 ? iMax : 0x40000000);
        if (!ReadFile(h, p, iAsk, &iRead, nullptr))
            return -1;
        return iRead;
    }

    bool seek(std::int64_t iPos) override
    {
        LARGE_INTEGER to;
        to.QuadPart = iPos;
        return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != 0;
    }

private:
    HANDLE h;
    std::int64_t iSize;
};

// Why CreateFileW could not open pPath, from its error iError.
ReadError readErrorOf(DWORD iError, const WCHAR *pPath)
{
    switch (iError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ReadError::Missing;
    case ERROR_ACCESS_DENIED: {
        // A folder cannot be opened as a file and says so in these words.
        const DWORD iAttributes = GetFileAttributesW(pPath);
        const bool bFolder = iAttributes != INVALID_FILE_ATTRIBUTES && (iAttributes & FILE_ATTRIBUTE_DIRECTORY);
        return bFolder ? ReadError::NotAFile : ReadError::Denied;
    }
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return ReadError::InUse;
    default:
        return ReadError::Failed;
    }
}

class BCryptMd5 : public Md5
{
public:
    BCryptMd5()
    {
        if (BCryptOpenAlgorithmProvider(&hAlgorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0
            || BCryptCreateHash(hAlgorithm, &hHash, nullptr, 0, nullptr, 0, 0) != 0)
            throw std::runtime_error("MD5 is not available");
    }
    BCryptMd5(const BCryptMd5 &) = delete;
    BCryptMd5 &operator=(const BCryptMd5 &) = delete;
    ~BCryptMd5() override
    {
        if (hHash)
            BCryptDestroyHash(hHash);
        if (hAlgorithm)
            BCryptCloseAlgorithmProvider(hAlgorithm, 0);
    }

    void add(const char *p, std::size_t iCount) override
    {
        while (iCount > 0) {
            const ULONG iPart = ULONG(iCount < 0x40000000 ? iCount : 0x40000000);
            if (BCryptHashData(hHash, reinterpret_cast<PUCHAR>(const_cast<char *>(p)), iPart, 0) != 0)
                throw std::runtime_error("MD5 failed");
            p += iPart;
            iCount -= iPart;
        }
    }

    std::string finish() override
    {
        std::string abDigest(16, '\0');
        if (BCryptFinishHash(hHash, reinterpret_cast<PUCHAR>(abDigest.data()), 16, 0) != 0)
            throw std::runtime_error("MD5 failed");
        return abDigest;
    }

private:
    BCRYPT_ALG_HANDLE hAlgorithm = nullptr;
    BCRYPT_HASH_HANDLE hHash = nullptr;
};

// XmlLite's two entry points, from the system's xmllite.dll: MinGW has no
// import library for it.
struct XmlLite {
    using CreateReader = HRESULT(WINAPI *)(REFIID, void **, IMalloc *);
    using CreateInput = HRESULT(WINAPI *)(IUnknown *, IMalloc *, LPCWSTR, BOOL, LPCWSTR, IXmlReaderInput **);
    CreateReader createReader = nullptr;
    CreateInput createInput = nullptr;
};

const XmlLite &xmlLite()
{
    static const XmlLite functions = [] {
        XmlLite f;
        if (const HMODULE h = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            f.createReader = reinterpret_cast<XmlLite::CreateReader>(reinterpret_cast<void *>(GetProcAddress(h, "CreateXmlReader")));
            f.createInput = reinterpret_cast<XmlLite::CreateInput>(
                reinterpret_cast<void *>(GetProcAddress(h, "CreateXmlReaderInputWithEncodingName")));
        }
        return f;
    }();
    return functions;
}

std::u16string text(const WCHAR *p, UINT iLen)
{
    return std::u16string(reinterpret_cast<const char16_t *>(p), iLen);
}

// The text as XmlLite is handed it: UTF-8, for Wine's reader loses its way in
// UTF-16 input longer than its buffer; and behind a plain XML declaration in
// place of the text's own, whose encoding means nothing once the text is
// decoded (a reader refuses one that names another) and without which Wine's
// reader takes leading white space for the end.
std::string readerInput(std::u16string_view sXml)
{
    static constexpr std::u16string_view START = u"<?xml";
    std::size_t iFrom = 0;
    if (sXml.compare(0, START.size(), START) == 0 && sXml.size() > START.size()
        && std::u16string_view(u" \t\r\n").find(sXml[START.size()]) != std::u16string_view::npos) {
        const std::size_t iEnd = sXml.find(u"?>");
        iFrom = iEnd == std::u16string_view::npos ? 0 : iEnd + 2;
    }
    const auto *pFrom = reinterpret_cast<const WCHAR *>(sXml.data() + iFrom);
    const int iUnits = int(sXml.size() - iFrom);
    std::string abUtf8 = "<?xml version=\"1.0\"?>";
    const int iBytes = WideCharToMultiByte(CP_UTF8, 0, pFrom, iUnits, nullptr, 0, nullptr, nullptr);
    const std::size_t iStart = abUtf8.size();
    abUtf8.resize(iStart + std::size_t(iBytes));
    WideCharToMultiByte(CP_UTF8, 0, pFrom, iUnits, abUtf8.data() + iStart, iBytes, nullptr, nullptr);
    return abUtf8;
}

// XmlLite over the text: an internal subset is parsed, nothing
// external is resolved (no resolver is set), and entity expansion is bounded.
class XmlLiteReader : public XmlTokenReader
{
public:
    explicit XmlLiteReader(std::u16string_view sXml) : abText(readerInput(sXml))
    {
        *stream.out() = SHCreateMemStream(reinterpret_cast<const BYTE *>(abText.data()), UINT(abText.size()));
        const XmlLite &lite = xmlLite();
        if (!stream.get() || !lite.createReader || !lite.createInput
            || FAILED(lite.createReader(__uuidof(IXmlReader), reinterpret_cast<void **>(reader.out()), nullptr))
            || FAILED(lite.createInput(stream.get(), nullptr, L"utf-8", FALSE, nullptr, input.out()))
            || FAILED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Parse))
            || !boundsEntityExpansion()
            || FAILED(reader->SetProperty(XmlReaderProperty_MaxElementDepth, 0))
            || FAILED(reader->SetInput(input.get())))
            throw std::runtime_error("the XML reader is not available");
    }

    void next(XmlToken &t) override
    {
        t.attributes.clear();
        if (!pending.empty()) {
            t = std::move(pending.front());
            pending.pop_front();
            return;
        }
        t.kind = XmlToken::Kind::EndOfDocument;
        while (!bDone) {
            XmlNodeType type = XmlNodeType_None;
            const HRESULT hr = reader->Read(&type);
            if (hr == S_FALSE) {
                bDone = true;
                return;
            }
            if (FAILED(hr) || !movedOn()) {
                bDone = true;
                error(t, FAILED(hr) ? hr : MX_E_INPUTEND);
                return;
            }
            switch (type) {
            case XmlNodeType_Element:
                startElement(t);
                return;
            case XmlNodeType_EndElement:
                t.kind = XmlToken::Kind::EndElement;
                names(t);
                return;
            case XmlNodeType_Text:
            case XmlNodeType_Whitespace:
                t.kind = XmlToken::Kind::Text;
                t.sText = value();
                return;
            case XmlNodeType_CDATA:
                t.kind = XmlToken::Kind::CData;
                t.sText = value();
                return;
            case XmlNodeType_Comment:
                t.kind = XmlToken::Kind::Comment;
                return;
            case XmlNodeType_ProcessingInstruction:
                t.kind = XmlToken::Kind::ProcessingInstruction;
                return;
            default:
                break; // the declaration, the document type
            }
        }
    }

private:
    static constexpr LONG_PTR MAX_ENTITY_EXPANSION = 10000;

    // Wine's XmlLite has no such bound (it says E_NOTIMPL), and expands no
    // entity an internal subset declares, which the shared tests show.
    bool boundsEntityExpansion() const
    {
        const HRESULT hr = reader->SetProperty(XmlReaderProperty_MaxEntityExpansion, MAX_ENTITY_EXPANSION);
        return SUCCEEDED(hr) || hr == E_NOTIMPL;
    }

    // Whether the reader stands on a node other than the last one. Wine's
    // XmlLite, at the end of a text that leaves elements open, returns the
    // last start tag again and again instead of an error.
    bool movedOn()
    {
        UINT iLine = 0, iColumn = 0;
        reader->GetLineNumber(&iLine);
        reader->GetLinePosition(&iColumn);
        const bool bMoved = iLine != iLastLine || iColumn != iLastColumn;
        iLastLine = iLine;
        iLastColumn = iColumn;
        return bMoved;
    }

    void startElement(XmlToken &t)
    {
        t.kind = XmlToken::Kind::StartElement;
        names(t);
        const bool bEmpty = reader->IsEmptyElement() != FALSE;
        for (HRESULT hr = reader->MoveToFirstAttribute(); hr == S_OK; hr = reader->MoveToNextAttribute()) {
            const WCHAR *pName = nullptr;
            UINT iName = 0;
            reader->GetQualifiedName(&pName, &iName);
            t.attributes.push_back({text(pName, iName), value()});
        }
        if (bEmpty) {
            XmlToken end;
            end.kind = XmlToken::Kind::EndElement;
            end.sQualifiedName = t.sQualifiedName;
            end.sLocalName = t.sLocalName;
            end.sNamespaceUri = t.sNamespaceUri;
            pending.push_back(std::move(end));
        }
    }

    void names(XmlToken &t) const
    {
        const WCHAR *p = nullptr;
        UINT iLen = 0;
        if (SUCCEEDED(reader->GetQualifiedName(&p, &iLen)))
            t.sQualifiedName = text(p, iLen);
        if (SUCCEEDED(reader->GetLocalName(&p, &iLen)))
            t.sLocalName = text(p, iLen);
        if (SUCCEEDED(reader->GetNamespaceUri(&p, &iLen)))
            t.sNamespaceUri = text(p, iLen);
    }

    std::u16string value() const
    {
        const WCHAR *p = nullptr;
        UINT iLen = 0;
        return SUCCEEDED(reader->GetValue(&p, &iLen)) ? text(p, iLen) : std::u16string();
    }

    void error(XmlToken &t, HRESULT hr) const
    {
        UINT iLine = 0, iColumn = 0;
        reader->GetLineNumber(&iLine);
        reader->GetLinePosition(&iColumn);
        char ab[96];
        std::snprintf(ab, sizeof ab, "XML error 0x%08lX at line %u, column %u", static_cast<unsigned long>(hr), iLine, iColumn);
        t.kind = XmlToken::Kind::Error;
        t.sText.clear();
        for (const char *p = ab; *p; ++p)
            t.sText += char16_t(*p);
    }

    std::string abText; // what the stream reads
    Com<IStream> stream;
    Com<IXmlReader> reader;
    Com<IUnknown> input;
    std::deque<XmlToken> pending; // the end of an empty element
    bool bDone = false;
    UINT iLastLine = 0, iLastColumn = 0;
};

} // namespace

std::unique_ptr<ByteSource> openFile(const std::u16string &sFile, ReadError &error)
{
    const auto *pPath = reinterpret_cast<const WCHAR *>(sFile.c_str());
    // Other readers (a viewer, a preview pane, a scanner) may keep the file
    // open; writers may not, so nothing changes it while it is read.
    const HANDLE h = CreateFileW(pPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = readErrorOf(GetLastError(), pPath);
        return nullptr;
    }
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        error = ReadError::NotAFile;
        return nullptr;
    }
    error = ReadError::None;
    return std::make_unique<Win32File>(h, size.QuadPart);
}

std::unique_ptr<Md5> createMd5()
{
    return std::make_unique<BCryptMd5>();
}

std::unique_ptr<XmlTokenReader> readXml(std::u16string_view sXml)
{
    return std::make_unique<XmlLiteReader>(sXml);
}

} // namespace lumbrik::platform
