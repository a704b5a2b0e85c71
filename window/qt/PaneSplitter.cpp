#include "PaneSplitter.h"

#include "WindowText.h"

#include <QMouseEvent>
#include <QSplitterHandle>

namespace lumbrik {
namespace {

// Drags the border of the right-hand pane by the legal-width rule instead of
// the toolkit's own collapse rule.
class PaneHandle : public QSplitterHandle
{
public:
    explicit PaneHandle(PaneSplitter *parent) : QSplitterHandle(Qt::Horizontal, parent), pSplitter(parent) {}

protected:
    void mousePressEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton) {
            iPressX = e->globalPosition().toPoint().x();
            iPressWidth = pSplitter->paneWidth();
            bDragging = true;
        }
    }

    void mouseMoveEvent(QMouseEvent *e) override
    {
        if (bDragging)
            pSplitter->showDragLine(paneWidthAt(e));
    }

    void mouseReleaseEvent(QMouseEvent *e) override
    {
        if (!bDragging || e->button() != Qt::LeftButton)
            return;
        bDragging = false;
        pSplitter->showDragLine(-1);
        pSplitter->setPaneWidth(paneWidthAt(e));
    }

private:
    int paneWidthAt(QMouseEvent *e) const
    {
        const int iWanted = iPressWidth - (e->globalPosition().toPoint().x() - iPressX);
        return legalPaneWidth(iWanted, pSplitter->availableWidth());
    }

    PaneSplitter *pSplitter;
    int iPressX = 0;     // where the drag started, on the screen
    int iPressWidth = 0; // the pane's width then
    bool bDragging = false;
};

} // namespace

PaneSplitter::PaneSplitter(QWidget *parent) : QSplitter(Qt::Horizontal, parent)
{
    setOpaqueResize(false);
}

int PaneSplitter::paneWidth() const
{
    return count() > 1 ? sizes().value(1) : 0;
}

int PaneSplitter::availableWidth() const
{
    return width() - handleWidth();
}

void PaneSplitter::showDragLine(int iPaneWidth)
{
    setRubberBand(iPaneWidth < 0 ? -1 : width() - iPaneWidth - handleWidth());
}

void PaneSplitter::setPaneWidth(int iPaneWidth)
{
    setSizes({availableWidth() - iPaneWidth, iPaneWidth});
}

QSplitterHandle *PaneSplitter::createHandle()
{
    return new PaneHandle(this);
}

} // namespace lumbrik
