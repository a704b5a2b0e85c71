#pragma once
// What every window on every platform shows and does alike: its fonts, its
// message boxes, its open dialog's file types, how it breaks a signature's
// lines, and how far its right-hand pane may be dragged.

#include <array>
#include <string>
#include <string_view>

namespace lumbrik {

inline constexpr char16_t SONG_TI[] = u"宋体";
inline constexpr char16_t YA_HEI[] = u"微软雅黑";

// The message boxes' captions and texts.
inline constexpr char16_t HINT_CAPTION[] = u"提示";
inline constexpr char16_t FAILED_CAPTION[] = u"错啦";
inline constexpr char16_t NO_PICTURE_CAPTION[] = u"出错啦";
inline constexpr char16_t NO_FILE_TEXT[] = u"请先打开票据文件！";
inline constexpr char16_t FILE_GONE_TEXT[] = u"指定票据文件不存在！";
inline constexpr char16_t PASSED_TEXT[] = u"校验通过！";
inline constexpr char16_t FAILED_PREFIX[] = u"校验失败，错误信息：";
inline constexpr char16_t NO_PICTURE_PREFIX[] = u"图片加载失败，错误信息：";
inline constexpr char16_t NO_HEADER_MESSAGE[] = u"This operation is not valid because the current image contains no valid header.";

// Why a file could not be read: the error's message when it was to be opened,
// and the start of the box when it was to be checked.
inline constexpr char16_t MISSING_REASON[] = u"票据文件不存在";
inline constexpr char16_t NOT_A_FILE_REASON[] = u"所选的不是文件";
inline constexpr char16_t DENIED_REASON[] = u"无权读取票据文件";
inline constexpr char16_t IN_USE_REASON[] = u"票据文件正被其他程序使用";
inline constexpr char16_t TOO_LARGE_REASON[] = u"票据文件过大";
inline constexpr char16_t READ_FAILED_REASON[] = u"读取票据文件出错";

// One entry of the open dialog's file types: "<name> (*.<extension>)".
struct PictureType {
    std::u16string_view sName;
    std::u16string_view sExtension;
};

// The dialog's entries 2 to 12; entry 1, "All", gathers their patterns.
inline constexpr std::array<PictureType, 11> PICTURE_TYPES = {{
    {u"Portable Network Graphics", u"png"}, {u"Bitmaps", u"bmp"}, {u"JPEG Images", u"jpg"},
    {u"JPEG Images", u"jpeg"}, {u"GIF Images", u"gif"}, {u"PNG Images", u"png"}, {u"Icons", u"ico"},
    {u"Enhanced Metafiles", u"emf"}, {u"Metafiles", u"wmf"}, {u"TIFF Images", u"tif"}, {u"TIFF Images", u"tiff"},
}};
inline constexpr char16_t ALL_PICTURES[] = u"All";

// s with every CR, LF or CR LF turned into sBreak, a text box's own line break.
std::u16string withLineBreaks(std::u16string_view s, std::u16string_view sBreak);

// The right-hand pane's narrowest width; a drag to it or below closes the pane.
inline constexpr int PANE_MIN_SIZE = 30;

// The pane width a drag asking for iWanted leaves, in iAvailable pixels shared
// by both panes: 0 (closed), or between iMinSize and iAvailable - iMinSize.
// iMinSize is PANE_MIN_SIZE in the window's own scale.
int legalPaneWidth(int iWanted, int iAvailable, int iMinSize = PANE_MIN_SIZE);

} // namespace lumbrik
