#pragma once
// Test-only: answers the modal dialogs and message boxes that a button press
// opens, in the order they come, and records what each showed. A modal nobody
// planned for is recorded and rejected, so that a fault cannot hang the run.

#include <QColor>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

class QFileDialog;

namespace lumbrik::testing {

struct SeenModal {
    QString sKind;        // "box", "dialog" or "unexpected"
    QString sTitle;
    QString sText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget *pParent = nullptr;
    QStringList nameFilters, selectedFiles;
    QString sSelectedFilter;
    QString sSnapshot;    // what the test's snapshot function said at that moment
    QStringList words;    // every visible label's and button's text
};

class ModalDriver : public QObject
{
    Q_OBJECT

public:
    explicit ModalDriver(std::function<QString()> snapshot = {});

    // The next modal is a file dialog: choose sPath in it, or cancel when empty.
    void chooseFile(const QString &sPath);
    void cancelDialog() { chooseFile(QString()); }
    // The next modal is a file dialog: type sPath into its file name field with
    // real key events and press Enter, as an operator would.
    void typeFile(const QString &sPath);
    // The next modal is a message box: press OK.
    void acknowledgeBox();

    const QList<SeenModal> &seen() const { return seenModals; }
    bool allAnswered() const { return plans.isEmpty(); }

private:
    void poll();
    void take(QWidget *w);
    void answer(QWidget *w);
    void type(QFileDialog *dialog);

    struct Plan {
        bool bDialog = false;
        QString sPath;
        bool bReject = false;
        bool bType = false;
    };
    QList<Plan> plans;
    Plan current;
    QList<SeenModal> seenModals;
    QPointer<QWidget> pCurrent;
    std::function<QString()> snapshot;
    QTimer timer;
};

} // namespace lumbrik::testing
