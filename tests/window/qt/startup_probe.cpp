// Linked into the real program's entry for a test: once the event loop runs,
// checks that exactly one window is up, titled "Lumbrik" with the program's
// icon, then closes it. The program must then end by itself with exit code 0.

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

void failIf(bool bFailed, const char *sWhat)
{
    if (bFailed) {
        std::fprintf(stderr, "FAIL: %s\n", sWhat);
        std::exit(1);
    }
}

void probe()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    failIf(windows.size() != 1, "exactly one window");
    QWidget *w = windows.first();
    failIf(!w->isVisible(), "the window is shown");
    failIf(w->objectName() != QStringLiteral("TForm1"), "the window is TForm1");
    failIf(w->windowTitle() != QStringLiteral("Lumbrik"), "window title");
    failIf(QApplication::applicationName() != QStringLiteral("Lumbrik"), "application name");
    failIf(QApplication::applicationDisplayName() != QStringLiteral("Lumbrik"), "display name");
    failIf(QApplication::applicationVersion() != QStringLiteral("1.0.0.0"), "version");
    const QIcon icon = w->windowIcon();
    failIf(!icon.availableSizes().contains(QSize(32, 32)), "a 32 x 32 icon");
    const QImage image = icon.pixmap(32, 32).toImage();
    failIf(!image.hasAlphaChannel() || qAlpha(image.pixel(0, 0)) != 0, "the icon has alpha");
    std::puts("one window titled Lumbrik with its icon; closing it");
    w->close();
}

void scheduleProbe()
{
    QTimer::singleShot(0, probe);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(scheduleProbe)
