#include "PictureLoader.h"

#include "PngPicture.h"
#include "win32/Com.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstring>

namespace lumbrik {
namespace {

// The most of a file the decoder is shown, and the most its picture may take
// once decoded: a hostile file gets a header but no picture beyond these.
constexpr std::int64_t MAX_SHOWN_BYTES = std::int64_t(256) << 20;
constexpr std::uint64_t MAX_PIXEL_BYTES = std::uint64_t(256) << 20;

// COM for the length of one load, on whatever terms the thread already has.
class ComScope
{
public:
    ComScope() : hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(hr))
            CoUninitialize();
    }
    ComScope(const ComScope &) = delete;
    ComScope &operator=(const ComScope &) = delete;

private:
    HRESULT hr;
};

// A stream in memory of abFile's first iLength bytes followed by a clean end chunk.
bool streamTrimmed(std::string_view abFile, std::int64_t iLength, IStream **ppStream)
{
    const HGLOBAL hMemory = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(iLength + PNG_END_CHUNK_LEN));
    if (!hMemory)
        return false;
    auto *p = static_cast<char *>(GlobalLock(hMemory));
    if (p) {
        std::memcpy(p, abFile.data(), std::size_t(iLength));
        std::memcpy(p + iLength, PNG_END_CHUNK, PNG_END_CHUNK_LEN);
        GlobalUnlock(hMemory);
    }
    if (!p || FAILED(CreateStreamOnHGlobal(hMemory, TRUE, ppStream))) {
        GlobalFree(hMemory);
        return false;
    }
    return true;
}

// Lays premultiplied pixels over the window's colour, as the picture is shown on it.
void blendOntoWindow(unsigned char *pPixels, std::size_t iCount)
{
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const unsigned back[3] = {GetBValue(window), GetGValue(window), GetRValue(window)};
    for (std::size_t i = 0; i < iCount; ++i, pPixels += 4) {
        const unsigned iCover = 255u - pPixels[3];
        for (int c = 0; c < 3; ++c)
            pPixels[c] = static_cast<unsigned char>(pPixels[c] + (back[c] * iCover + 127) / 255);
        pPixels[3] = 255;
    }
}

// The first frame of the PNG stream, as a bitmap; null when it cannot be decoded.
HBITMAP decodePng(IStream *pStream)
{
    Com<IWICImagingFactory> factory;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    UINT iWidth = 0, iHeight = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void **>(factory.out())))
        || FAILED(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.out()))
        || FAILED(decoder->Initialize(pStream, WICDecodeMetadataCacheOnDemand))
        || FAILED(decoder->GetFrame(0, frame.out())) || FAILED(factory->CreateFormatConverter(converter.out()))
        || FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                        0.0, WICBitmapPaletteTypeCustom))
        || FAILED(converter->GetSize(&iWidth, &iHeight)) || iWidth == 0 || iHeight == 0
        || std::uint64_t(iWidth) * iHeight * 4 > MAX_PIXEL_BYTES)
        return nullptr;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = LONG(iWidth);
    info.bmiHeader.biHeight = -LONG(iHeight); // top-down, as the decoder gives its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *pBits = nullptr;
    const HBITMAP hBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (!hBitmap)
        return nullptr;
    const UINT iStride = iWidth * 4;
    if (FAILED(converter->CopyPixels(nullptr, iStride, iStride * iHeight, static_cast<BYTE *>(pBits)))) {
        DeleteObject(hBitmap);
        return nullptr;
    }
    blendOntoWindow(static_cast<unsigned char *>(pBits), std::size_t(iWidth) * iHeight);
    return hBitmap;
}

} // namespace

Picture decodePicture(std::string_view abFile)
{
    Picture picture;
    const PictureExtent extent = examinePicture(abFile);
    picture.bHeader = extent.bHeader;
    if (extent.iImageDataEnd <= 0 || extent.iImageDataEnd > MAX_SHOWN_BYTES)
        return picture;
    const ComScope com;
    Com<IStream> stream;
    if (streamTrimmed(abFile, extent.iImageDataEnd, stream.out()))
        picture.hBitmap = decodePng(stream.get());
    return picture;
}

} // namespace lumbrik
