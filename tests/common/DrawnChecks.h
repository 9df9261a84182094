#pragma once
// What an item view draws as its check boxes: the style it paints with
// records each box, "1" ticked and "0" not, in the order they are drawn.
#include <QProxyStyle>
#include <QStyleOption>
#include <QWidget>

class DrawnChecks : public QProxyStyle {
public:
    // Paints the view once and returns the boxes it drew.
    QString Of(QWidget *view)
    {
        m_drawn.clear();
        view->setStyle(this);
        view->grab();
        view->setStyle(nullptr);
        return m_drawn;
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_IndicatorItemViewItemCheck)
            m_drawn += option->state & State_On ? u'1' : u'0';
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    mutable QString m_drawn;
};
