#include "Unit1.h"

#include "TabPageStyle.h"
#include "ui_Unit1.h"

#include <QScreen>
#include <QTabBar>

namespace lumbrik {
namespace {

const QString SONG_TI = QString::fromUtf8("宋体");
const QString YA_HEI = QString::fromUtf8("微软雅黑");
constexpr int FONT_PIXELS = 12;
constexpr int PANE_WIDTH = 253;
const QColor LABEL_BLUE(0, 0, 255);

QFont fontOf(const QString &sFamily)
{
    QFont font(sFamily);
    font.setPixelSize(FONT_PIXELS);
    return font;
}

void fillWith(QWidget *w, QPalette::ColorRole role)
{
    w->setBackgroundRole(role);
    w->setAutoFillBackground(true);
}

} // namespace

TForm1::TForm1(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::TForm1>())
{
    registerFontSubstitutes();
    ui->setupUi(this);
    applyFonts();
    applyColours();

    auto *pTabStyle = new TabPageStyle;
    pTabStyle->setParent(this);
    ui->PageControl1->setStyle(pTabStyle);
    ui->PageControl1->tabBar()->setStyle(pTabStyle);

    // Only the picture area takes up a change of the window's width.
    ui->Splitter1->setStretchFactor(0, 1);
    ui->Splitter1->setStretchFactor(1, 0);
    ui->Splitter1->setCollapsible(0, false);
    ui->Splitter1->setCollapsible(1, true);
    ui->Splitter1->setPaneWidth(PANE_WIDTH);

    for (QPlainTextEdit *pMemo : {ui->mo_Czqm, ui->mo_Dwqm}) {
        pMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        pMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        pMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        pMemo->setTabChangesFocus(true);
    }

    // The tab bar stands in for the tab control in the focus chain.
    setTabOrder(ui->PageControl1->tabBar(), ui->mo_Czqm);

    placeOnScreen();
    connect(ui->btn_Close, &QPushButton::clicked, this, &TForm1::btn_CloseClick);
}

TForm1::~TForm1() = default;

void TForm1::registerFontSubstitutes()
{
    const QStringList serif = {QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                               QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL SungtiL GB"),
                               QStringLiteral("Noto Sans CJK SC")};
    const QStringList sans = {QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC"),
                              QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
                              QStringLiteral("Droid Sans Fallback")};
    if (QFont::substitutes(SONG_TI).isEmpty())
        QFont::insertSubstitutions(SONG_TI, serif);
    if (QFont::substitutes(YA_HEI).isEmpty())
        QFont::insertSubstitutions(YA_HEI, sans);
}

void TForm1::applyFonts()
{
    setFont(fontOf(SONG_TI));
    ui->lbl_CheckResult->setFont(fontOf(SONG_TI));
    for (QPushButton *pButton : {ui->btn_OpenFile, ui->btn_CheckVoucher, ui->btn_Close})
        pButton->setFont(fontOf(YA_HEI));
}

void TForm1::applyColours()
{
    fillWith(this, QPalette::Button);
    fillWith(ui->Panel1, QPalette::Base);
    fillWith(ui->Panel2, QPalette::Base);
    fillWith(ui->Panel3, QPalette::Button);
    fillWith(ui->Panel4, QPalette::Base);
    QPalette labelPalette = ui->lbl_CheckResult->palette();
    labelPalette.setColor(QPalette::WindowText, LABEL_BLUE);
    ui->lbl_CheckResult->setPalette(labelPalette);
}

void TForm1::placeOnScreen()
{
    const QRect available = screen()->availableGeometry();
    move(available.center() - rect().center());
}

void TForm1::btn_CloseClick()
{
    close();
}

} // namespace lumbrik
