#include "TabPageStyle.h"

#include <QStyleOption>

namespace lumbrik {

QRect TabPageStyle::subElementRect(SubElement element, const QStyleOption *option, const QWidget *widget) const
{
    if (element == SE_TabWidgetTabContents)
        return option->rect.adjusted(PAGE_INSET, TAB_HEIGHT + PAGE_INSET, -PAGE_INSET, -PAGE_INSET);
    return QProxyStyle::subElementRect(element, option, widget);
}

QSize TabPageStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                                     const QWidget *widget) const
{
    QSize s = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_TabBarTab)
        s.setHeight(TAB_HEIGHT);
    return s;
}

} // namespace lumbrik
