#pragma once
// The navigation bars over the menu editor's grids: each button moves through
// the rows or runs the handler it is given (the grid never changes a row by
// itself), with the navigation bars' hint and, with the resource library,
// the picture of its kind.
#include <QString>
#include <QToolBar>

#include <functional>

struct TNavigatorButtonSpec {
    const char *kind; // First, Prior, Next, Last, Insert, Delete, Edit, Refresh
    std::function<void()> run;
    QString hint; // empty: the navigation bars' hint of the kind
};

// The bar's actions are named the bar's name followed by the kind ("dbnavAccessInsert").
QToolBar *NewDataNavigator(QWidget *parent, const char *name, const QList<TNavigatorButtonSpec> &buttons);
// Gives each button of the bar the resource library's picture of its kind.
void LoadNavigatorGlyphs(QToolBar *bar);
