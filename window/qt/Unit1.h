#pragma once
// The main window: open a voucher, see it, check it, read the verdict and the
// two signatures. The window only shows what the verification core returns.

#include <QString>
#include <QWidget>

#include <QMessageBox>

#include <memory>
#include <string_view>

class QFileDialog;

namespace Ui {
class TForm1;
}

namespace lumbrik {

class TForm1 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Lets installed Chinese faces stand in for the window's SimSun and Microsoft YaHei.
    static void registerFontSubstitutes();
    // Makes the toolkit's own words (dialog, box buttons) Chinese like the window's.
    static void loadToolkitTranslation();
    // Opens the voucher the program was started with, as a confirmed open does; says so when it is missing.
    void openAtStart(const QString &sPath);

protected:
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void applyFonts();
    void applyColours();
    void placeOnScreen();

    void FormShow();
    void initDisp();
    void btn_OpenFileClick();
    void btn_CheckVoucherClick();
    void btn_CloseClick();

    // What a confirmed open does with the chosen path.
    void openVoucher(const QString &sPath);
    // Shows the picture in a file's bytes, or none; whether they have a picture header.
    bool showPicture(std::string_view abFile);
    void showResult(const QString &sCaption, const QColor &colour);
    void showSignatures(const QString &sSignCZ, const QString &sSignDw);
    void message(QMessageBox::Icon icon, const QString &sCaption, const QString &sText);
    QFileDialog *openPictureDialog();

    std::unique_ptr<Ui::TForm1> ui;
    QFileDialog *OpenPictureDialog1 = nullptr; // made on first use, kept for its history
    QString sFileName;
    bool bFrameKnown = false; // placed with the window system's frame around it
};

} // namespace lumbrik
