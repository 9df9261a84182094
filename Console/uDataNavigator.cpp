#include "Console/uDataNavigator.h"

#include "Console/uEditorTexts.h"
#include "Ui/ResourceLibrary.h"

#include <QAction>
#include <QStyle>

namespace {

// A button's kind: the picture of the resource library, the hint, the style's stand-in picture.
struct TNavigatorKind {
    const char *kind;
    int bitmap;
    const char *hint;
    QStyle::StandardPixmap pixmap;
};
constexpr TNavigatorKind kKinds[] = {
    {"First", 101, "rstr_to_FirstRec", QStyle::SP_MediaSkipBackward},
    {"Prior", 102, "rstr_to_PriorRec", QStyle::SP_MediaSeekBackward},
    {"Next", 103, "rstr_to_NextRec", QStyle::SP_MediaSeekForward},
    {"Last", 104, "rstr_to_LastRec", QStyle::SP_MediaSkipForward},
    {"Insert", 106, "rstr_to_Add", QStyle::SP_FileDialogNewFolder},
    {"Delete", 108, "rstr_to_Delete", QStyle::SP_TrashIcon},
    {"Edit", 107, "rstr_to_Change", QStyle::SP_FileDialogContentsView},
    {"Refresh", 105, "rstr_to_RefreshData", QStyle::SP_BrowserReload},
};
// Every tool bar of the editor, navigators included, has glyphs of one size.
constexpr QSize kBarIconSize(16, 16);

const TNavigatorKind *kindOf(const QString &kind)
{
    for (const TNavigatorKind &k : kKinds)
        if (kind == QLatin1String(k.kind))
            return &k;
    return nullptr;
}

} // namespace

QToolBar *NewDataNavigator(QWidget *parent, const char *name, const QList<TNavigatorButtonSpec> &buttons)
{
    auto *bar = new QToolBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setIconSize(kBarIconSize);
    for (const TNavigatorButtonSpec &button : buttons) {
        const TNavigatorKind *kind = kindOf(QString::fromLatin1(button.kind));
        Q_ASSERT(kind);
        const QString text = button.hint.isEmpty() ? AplText(kind->hint) : button.hint;
        QAction *action = bar->addAction(bar->style()->standardIcon(kind->pixmap), text);
        action->setObjectName(QString::fromLatin1(name) + QString::fromLatin1(button.kind));
        action->setToolTip(text);
        QObject::connect(action, &QAction::triggered, bar, button.run);
    }
    return bar;
}

void LoadNavigatorGlyphs(QToolBar *bar)
{
    for (QAction *action : bar->actions()) {
        if (!action->objectName().startsWith(bar->objectName()))
            continue;
        const TNavigatorKind *kind = kindOf(action->objectName().mid(bar->objectName().size()));
        const QPixmap picture = kind ? ResourceBitmap(kind->bitmap) : QPixmap();
        if (!picture.isNull())
            action->setIcon(QIcon(picture));
    }
}
