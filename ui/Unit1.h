#pragma once
// The main window: open a voucher, see it, check it, read the verdict and the
// two signatures. The window only shows what the verification core returns.

#include <QString>
#include <QWidget>

#include <memory>

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

private:
    void applyFonts();
    void applyColours();
    void placeOnScreen();

    void btn_CloseClick();

    std::unique_ptr<Ui::TForm1> ui;
    QString sFileName;
};

} // namespace lumbrik
