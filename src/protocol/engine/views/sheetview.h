#pragma once

#include <QAbstractScrollArea>

#include <memory>

class SheetStore;

// Shows the first sheet of an attached store. A store whose first sheet this view has not
// drawn yet is fitted to the view's width when that sheet arrives.
class SheetView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit SheetView(QWidget *parent = nullptr);
    ~SheetView() override;

    void setStore(std::shared_ptr<SheetStore> store);
    std::shared_ptr<SheetStore> store() const { return m_store; }

    int zoom() const { return m_zoom; }
    // A zoom outside 2 %..2000 % is refused and the old one kept; returns whether applied.
    // The point of the sheet at the middle of the view stays there.
    bool setZoom(int percent);
    void fitToWidth();
    void fitToPage();

signals:
    void zoomChanged(int percent);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void storeChanged();
    bool zoomTo(int percent, bool keepCentre);
    // The point of the sheet at the middle of the view, as a share of the sheet's size.
    QPointF centreShare() const;
    void updateScrollBars();
    QSizeF paperMm() const;

    std::shared_ptr<SheetStore> m_store;
    QMetaObject::Connection m_storeConnection;
    bool m_fitOnArrival = false; // attached while its sheet was still being generated
    int m_zoom = 100;
};
