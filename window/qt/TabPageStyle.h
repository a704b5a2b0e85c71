#pragma once
// Gives a tab widget's pages the classic tab control's insets: 4 pixels on the
// left, right and bottom, 24 at the top below 20-pixel tabs, whatever the style.

#include <QProxyStyle>

namespace lumbrik {

class TabPageStyle : public QProxyStyle
{
public:
    static constexpr int TAB_HEIGHT = 20;
    static constexpr int PAGE_INSET = 4;

    using QProxyStyle::QProxyStyle;

    QRect subElementRect(SubElement element, const QStyleOption *option, const QWidget *widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
};

} // namespace lumbrik
