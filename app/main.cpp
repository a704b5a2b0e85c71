// Lumbrik: one window in which an operator checks a voucher's seal.

#include "Unit1.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumbrik"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lumbrik"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Lumbrik.png")));

    lumbrik::TForm1 Form1;
    Form1.show();
    // A voucher named first ("Open with", the desktop entry's %f) opens at
    // once, by its full path; further arguments are ignored.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1 && !arguments.at(1).isEmpty())
        Form1.openAtStart(QFileInfo(arguments.at(1)).absoluteFilePath());
    return app.exec();
}
