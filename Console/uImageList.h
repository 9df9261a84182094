#pragma once
// An image list: icons of one size, addressed by index, as the menus and the
// tool bar use them. Replacing an image keeps the positions of the others.
#include <QIcon>
#include <QList>
#include <QSize>

class TImageList {
public:
    explicit TImageList(QSize size = QSize(16, 16)) : m_size(size) {}

    QSize Size() const { return m_size; }
    int Width() const { return m_size.width(); }
    int Height() const { return m_size.height(); }
    void SetSize(QSize size) { m_size = size; }

    int Count() const { return int(m_icons.size()); }
    // Appends an icon and returns its index.
    int Add(const QIcon &icon)
    {
        m_icons.append(icon);
        return Count() - 1;
    }
    void Replace(int index, const QIcon &icon)
    {
        if (index >= 0 && index < Count())
            m_icons[index] = icon;
    }
    // The icon at the index; an empty icon outside the list.
    QIcon Icon(int index) const { return index >= 0 && index < Count() ? m_icons.at(index) : QIcon(); }
    // Drops the icons from the index on (the configuration's icons follow the design images).
    void Truncate(int count)
    {
        while (Count() > count)
            m_icons.removeLast();
    }

private:
    QSize m_size;
    QList<QIcon> m_icons;
};
