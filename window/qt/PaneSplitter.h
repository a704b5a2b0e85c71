#pragma once
// A splitter whose right-hand pane keeps its width when the window grows, and
// closes when dragged to its minimum width or less. The border follows the mouse
// as a line while dragging; the pane is resized when the button is released.

#include <QSplitter>

namespace lumbrik {

class PaneSplitter : public QSplitter
{
    Q_OBJECT

public:
    explicit PaneSplitter(QWidget *parent = nullptr);

    int paneWidth() const;
    int availableWidth() const;
    // Shows the drag line where the pane would end with width iPaneWidth; -1 hides it.
    void showDragLine(int iPaneWidth);
    void setPaneWidth(int iPaneWidth);

protected:
    QSplitterHandle *createHandle() override;
};

} // namespace lumbrik
