#include "Unit1.h"

#include "PictureLoader.h"
#include "TabPageStyle.h"
#include "VerdictText.h"
#include "VoucherFile.h"
#include "WindowText.h"
#include "ui_Unit1.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMimeData>
#include <QScreen>
#include <QShowEvent>
#include <QTabBar>
#include <QTranslator>

namespace lumbrik {
namespace {

const QString SONG_TI_FACE = QString::fromUtf16(SONG_TI);
const QString YA_HEI_FACE = QString::fromUtf16(YA_HEI);
constexpr int FONT_PIXELS = 12;
constexpr int PANE_WIDTH = 253;
const QLocale CHINESE(QLocale::Chinese, QLocale::China);
const QColor LABEL_BLUE(0, 0, 255);
const QColor LABEL_RED(255, 0, 0);

QString view(std::u16string_view s)
{
    return QString(reinterpret_cast<const QChar *>(s.data()), qsizetype(s.size()));
}

// The open dialog's file types: entry 1 gathers the patterns of all the others.
QStringList pictureFilters()
{
    QStringList filters, patterns;
    for (const PictureType &type : PICTURE_TYPES) {
        const QString sPattern = QStringLiteral("*.") + view(type.sExtension);
        patterns << sPattern;
        filters << QStringLiteral("%1 (%2)").arg(view(type.sName), sPattern);
    }
    // The toolkit separates the patterns of one entry by spaces.
    filters.prepend(QStringLiteral("%1 (%2)").arg(QString::fromUtf16(ALL_PICTURES), patterns.join(u' ')));
    return filters;
}

// Runs a handler's work; no exception leaves it for the event loop.
template <class Work>
void guarded(Work work)
{
    try {
        work();
    } catch (...) {
    }
}

// The busy cursor, for as long as the object lives: a large file takes a while
// to read, decode and check.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

QFont fontOf(const QString &sFamily)
{
    QFont font(sFamily);
    font.setPixelSize(FONT_PIXELS);
    return font;
}

// The label's caption for a verdict on the file named sName.
QString verdictCaption(bool bIntact, const QString &sName)
{
    return QString::fromUtf16(RESULT_CAPTION) + QString::fromStdU16String(verdictText(bIntact, sName.toStdU16String()));
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
    loadToolkitTranslation();
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

    setAcceptDrops(true);
    connect(ui->btn_OpenFile, &QPushButton::clicked, this, &TForm1::btn_OpenFileClick);
    connect(ui->btn_CheckVoucher, &QPushButton::clicked, this, &TForm1::btn_CheckVoucherClick);
    connect(ui->btn_Close, &QPushButton::clicked, this, &TForm1::btn_CloseClick);
}

TForm1::~TForm1() = default;

void TForm1::registerFontSubstitutes()
{
    // SimSun draws ASCII at half width with a fixed pitch, which keeps a base64
    // signature in columns and 0/O, 1/l/I apart: its stand-ins do the same.
    const QStringList serif = {QStringLiteral("SimSun"), QStringLiteral("Noto Sans Mono CJK SC"),
                               QStringLiteral("AR PL UMing CN")};
    const QStringList sans = {QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC"),
                              QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
                              QStringLiteral("Droid Sans Fallback")};
    if (QFont::substitutes(SONG_TI_FACE).isEmpty())
        QFont::insertSubstitutions(SONG_TI_FACE, serif);
    if (QFont::substitutes(YA_HEI_FACE).isEmpty())
        QFont::insertSubstitutions(YA_HEI_FACE, sans);
}

void TForm1::loadToolkitTranslation()
{
    QCoreApplication *app = QCoreApplication::instance();
    const QString sName = QStringLiteral("lumbrik-toolkit-zh_CN");
    if (app->findChild<QTranslator *>(sName, Qt::FindDirectChildrenOnly))
        return;
    auto *pTranslator = new QTranslator(app);
    pTranslator->setObjectName(sName);
    if (pTranslator->load(CHINESE, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(pTranslator);
}

void TForm1::applyFonts()
{
    setFont(fontOf(SONG_TI_FACE));
    ui->lbl_CheckResult->setFont(fontOf(SONG_TI_FACE));
    for (QPushButton *pButton : {ui->btn_OpenFile, ui->btn_CheckVoucher, ui->btn_Close})
        pButton->setFont(fontOf(YA_HEI_FACE));
}

void TForm1::applyColours()
{
    fillWith(this, QPalette::Button);
    fillWith(ui->Panel1, QPalette::Base);
    fillWith(ui->Panel2, QPalette::Base);
    fillWith(ui->Panel3, QPalette::Button);
    fillWith(ui->Panel4, QPalette::Base);
    // On a Base background the toolkit would draw the label in the Text colour.
    ui->lbl_CheckResult->setForegroundRole(QPalette::WindowText);
    showResult(QString::fromUtf16(RESULT_CAPTION), LABEL_BLUE);
}

void TForm1::placeOnScreen()
{
    // Centred, and whole on screen: a window that the scale makes larger than
    // the available area is shrunk to it, the picture area giving up the room.
    const QRect available = screen()->availableGeometry();
    const QSize margins = frameGeometry().size() - size();
    const QSize fitting = size().boundedTo(available.size() - margins);
    if (fitting != size())
        resize(fitting);
    const QSize frame = frameGeometry().size();
    bFrameKnown = frame != size();
    move(available.left() + (available.width() - frame.width()) / 2,
         available.top() + (available.height() - frame.height()) / 2);
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous()) // restored by the window system, not shown by the program
        return;
    placeOnScreen(); // now that the frame is known
    FormShow();
}

void TForm1::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    // A window manager tells the frame only once it has framed the window.
    if (!bFrameKnown && isVisible() && frameGeometry().size() != size())
        placeOnScreen();
}

void TForm1::FormShow()
{
    sFileName.clear();
    initDisp();
}

void TForm1::initDisp()
{
    showResult(QString::fromUtf16(RESULT_CAPTION), LABEL_BLUE);
    ui->mo_Czqm->clear();
    ui->mo_Dwqm->clear();
    ui->PageControl1->setCurrentWidget(ui->TabSheet1);
}

void TForm1::btn_OpenFileClick()
{
    guarded([this] {
        QFileDialog *dialog = openPictureDialog();
        const bool bChosen = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
        // A completion list left open by Enter in the file name field would take the next click.
        for (QCompleter *pCompleter : dialog->findChildren<QCompleter *>())
            pCompleter->popup()->hide();
        if (!bChosen)
            return;
        openVoucher(dialog->selectedFiles().constFirst());
    });
}

void TForm1::openAtStart(const QString &sPath)
{
    if (!QFileInfo::exists(sPath)) {
        message(QMessageBox::Warning, QString::fromUtf16(HINT_CAPTION), QString::fromUtf16(FILE_GONE_TEXT));
        return;
    }
    openVoucher(sPath);
}

void TForm1::openVoucher(const QString &sPath)
{
    sFileName = sPath;
    guarded([&] {
        ReadError error = ReadError::None;
        bool bHeader = false;
        {
            const BusyCursor busy;
            const FileBytes file = readVoucher(sPath.toStdU16String());
            error = file.error;
            bHeader = showPicture(file.view());
        }
        if (error != ReadError::None)
            message(QMessageBox::Critical, QString::fromUtf16(NO_PICTURE_CAPTION), view(openFailureText(error)));
        else if (!bHeader)
            message(QMessageBox::Critical, QString::fromUtf16(NO_PICTURE_CAPTION),
                    QString::fromUtf16(NO_PICTURE_PREFIX) + QString::fromUtf16(NO_HEADER_MESSAGE));
    });
    initDisp();
}

bool TForm1::showPicture(std::string_view abFile)
{
    const Picture picture = decodePicture(abFile);
    if (picture.image.isNull())
        ui->Image1->clear();
    else
        ui->Image1->setPixmap(QPixmap::fromImage(picture.image));
    return picture.bHeader;
}

void TForm1::btn_CheckVoucherClick()
{
    guarded([this] {
        if (sFileName.isEmpty()) {
            message(QMessageBox::Warning, QString::fromUtf16(HINT_CAPTION), QString::fromUtf16(NO_FILE_TEXT));
            return;
        }
        const QFileInfo info(sFileName);
        if (!info.exists() || info.isDir()) {
            message(QMessageBox::Warning, QString::fromUtf16(HINT_CAPTION), QString::fromUtf16(FILE_GONE_TEXT));
            return;
        }
        std::u16string sSignCZ, sSignDw, ErrMsg;
        bool bIntact = false;
        ReadError error = ReadError::None;
        {
            const BusyCursor busy;
            const FileBytes file = readVoucher(sFileName.toStdU16String());
            error = file.error;
            if (error == ReadError::None) {
                // The file may have changed since it was opened: what is checked is shown.
                showPicture(file.view());
                bIntact = checkVoucherBytes(file.view(), sSignCZ, sSignDw, ErrMsg);
            }
        }
        if (error != ReadError::None) {
            // Nothing was looked at, so nothing is judged.
            message(QMessageBox::Warning, QString::fromUtf16(HINT_CAPTION), view(checkFailureText(error)));
            initDisp();
            return;
        }
        const QString sName = info.fileName();
        if (bIntact) {
            showResult(verdictCaption(true, sName), LABEL_BLUE);
            showSignatures(QString::fromStdU16String(sSignCZ), QString::fromStdU16String(sSignDw));
            message(QMessageBox::Information, QString::fromUtf16(HINT_CAPTION), QString::fromUtf16(PASSED_TEXT));
        } else {
            message(QMessageBox::Information, QString::fromUtf16(FAILED_CAPTION),
                    QString::fromUtf16(FAILED_PREFIX) + QString::fromStdU16String(ErrMsg));
            showResult(verdictCaption(false, sName), LABEL_RED);
            showSignatures(QString(), QString());
        }
    });
}

void TForm1::btn_CloseClick()
{
    close();
}

void TForm1::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.constFirst().isLocalFile())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.constFirst().isLocalFile())
        return;
    event->acceptProposedAction();
    guarded([&] { openVoucher(urls.constFirst().toLocalFile()); });
}

void TForm1::showResult(const QString &sCaption, const QColor &colour)
{
    ui->lbl_CheckResult->setText(sCaption);
    ui->lbl_CheckResult->setToolTip(sCaption); // the label cuts what does not fit
    QPalette palette = ui->lbl_CheckResult->palette();
    palette.setColor(QPalette::WindowText, colour);
    ui->lbl_CheckResult->setPalette(palette);
}

void TForm1::showSignatures(const QString &sSignCZ, const QString &sSignDw)
{
    ui->mo_Czqm->setPlainText(QString::fromStdU16String(withLineBreaks(sSignCZ.toStdU16String(), u"\n")));
    ui->mo_Dwqm->setPlainText(QString::fromStdU16String(withLineBreaks(sSignDw.toStdU16String(), u"\n")));
}

void TForm1::message(QMessageBox::Icon icon, const QString &sCaption, const QString &sText)
{
    QMessageBox box(icon, sCaption, sText, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QFileDialog *TForm1::openPictureDialog()
{
    if (!OpenPictureDialog1) {
        OpenPictureDialog1 = new QFileDialog(this);
        OpenPictureDialog1->setObjectName(QStringLiteral("OpenPictureDialog1"));
        OpenPictureDialog1->setLocale(CHINESE);
        OpenPictureDialog1->setAcceptMode(QFileDialog::AcceptOpen);
        OpenPictureDialog1->setFileMode(QFileDialog::ExistingFile);
        OpenPictureDialog1->setNameFilters(pictureFilters());
    }
    OpenPictureDialog1->selectNameFilter(OpenPictureDialog1->nameFilters().constFirst());
    if (!sFileName.isEmpty())
        OpenPictureDialog1->selectFile(sFileName);
    return OpenPictureDialog1;
}

} // namespace lumbrik
