#include "Source/ComUnits/uScrollComponents.h"

#include "Core/Exceptions.h"

#include <QMetaObject>

namespace {

QString className(const QMetaObject *cls) { return QString::fromLatin1(cls->className()); }

} // namespace

// --- _TChildComponent

_TChildComponent::_TChildComponent(QObject *component, std::function<void(QObject *)> gone)
{
    connect(component, &QObject::destroyed, this, [gone = std::move(gone)](QObject *dying) { gone(dying); });
}

// --- TScrollComponent

TScrollComponent::TScrollComponent(TScrollComponentList *list, const QMetaObject *componentClass)
    : m_list(list), m_class(componentClass)
{
}

TScrollComponent::~TScrollComponent() = default;

QList<QObject *> TScrollComponent::Components() const { return m_components; }

void TScrollComponent::AddComponent(QObject *component)
{
    Z_ASSERT(component && component->metaObject()->inherits(m_class),
             QStringLiteral("TScrollComponent.AddComponent: \"") +
                 (component ? QString::fromLatin1(component->metaObject()->className()) : QStringLiteral("nil")) +
                 QStringLiteral("\" class is not inherited \"") + className(m_class) + QStringLiteral("\" class"));
    if (Contains(component))
        return;
    m_components.append(component);
    m_watchers[component] =
        std::make_unique<_TChildComponent>(component, [list = m_list](QObject *gone) { list->componentGone(gone); });
    m_list->m_known.insert(component);
}

void TScrollComponent::DelComponent(QObject *component)
{
    Z_ASSERT(component && component->metaObject()->inherits(m_class),
             QStringLiteral("TScrollComponent.DelComponent: \"") +
                 (component ? QString::fromLatin1(component->metaObject()->className()) : QStringLiteral("nil")) +
                 QStringLiteral("\" class is not inherited \"") + className(m_class) + QStringLiteral("\" class"));
    forget(component);
    for (const auto &entry : m_list->m_entries)
        if (entry->Contains(component))
            return;
    m_list->m_known.remove(component);
}

void TScrollComponent::forget(QObject *component)
{
    m_components.removeOne(component);
    m_watchers.erase(component);
}

void TScrollComponent::ForEach(const TComponentMethod &method) const
{
    QList<QPointer<QObject>> snapshot;
    for (QObject *component : m_components)
        snapshot.append(component);
    for (const QPointer<QObject> &component : std::as_const(snapshot))
        if (component && Contains(component))
            method(component);
}

void TScrollComponent::AddHandler(QObject *object, const QString &name, const TComponentMethod &method)
{
    for (const THandler &handler : m_handlers)
        if (handler.object == object && handler.name == name)
            return;
    m_handlers.push_back({object, name, method});
}

void TScrollComponent::RemoveHandler(QObject *object, const QString &name)
{
    std::erase_if(m_handlers, [&](const THandler &h) { return h.object == object && h.name == name; });
}

void TScrollComponent::RunHandlers(QObject *component) const
{
    // A handler may change the list: run over a copy, and stop when the component goes.
    const std::vector<THandler> handlers = m_handlers;
    const QPointer<QObject> alive(component);
    for (const THandler &handler : handlers) {
        if (!alive)
            return;
        if (handler.object)
            handler.method(component);
    }
}

// --- TScrollComponentList

TScrollComponentList::~TScrollComponentList() = default;

void TScrollComponentList::AddRoot(QObject *root)
{
    for (const QPointer<QObject> &known : std::as_const(m_roots))
        if (known == root)
            return;
    m_roots.append(root);
}

TScrollComponent *TScrollComponentList::Find(const QMetaObject *componentClass) const
{
    for (const auto &entry : m_entries)
        if (entry->ComponentClass() == componentClass)
            return entry.get();
    return nullptr;
}

TScrollComponent *TScrollComponentList::Register(const QMetaObject *componentClass)
{
    Z_ASSERT(!Find(componentClass), QStringLiteral("TScrollComponent.Create: components of Class \"") +
                                        className(componentClass) + QStringLiteral("\" Is already added"));
    m_entries.push_back(std::make_unique<TScrollComponent>(this, componentClass));
    return m_entries.back().get();
}

void TScrollComponentList::AddHandler(const QMetaObject *componentClass, QObject *object, const QString &name,
                                      const TComponentMethod &method)
{
    TScrollComponent *entry = Find(componentClass);
    if (!entry)
        entry = Register(componentClass);
    entry->AddHandler(object, name, method);
}

void TScrollComponentList::RemoveHandler(const QMetaObject *componentClass, QObject *object, const QString &name)
{
    if (TScrollComponent *entry = Find(componentClass))
        entry->RemoveHandler(object, name);
}

int TScrollComponentList::Scan()
{
    QList<QObject *> candidates;
    for (const QPointer<QObject> &root : std::as_const(m_roots))
        if (root)
            candidates << root.data() << root->findChildren<QObject *>();
    // Entry by entry in registration order, so that the handlers of one kind
    // (queries) have run before those of the next (the grids that open them).
    std::vector<std::pair<TScrollComponent *, QPointer<QObject>>> found;
    QSet<const QObject *> newlyKnown;
    for (const auto &entry : m_entries)
        for (QObject *component : std::as_const(candidates))
            if (!entry->Contains(component) && component->metaObject()->inherits(entry->ComponentClass())) {
                if (!m_known.contains(component))
                    newlyKnown.insert(component);
                entry->AddComponent(component);
                found.emplace_back(entry.get(), component);
            }
    for (const auto &[entry, component] : found)
        if (component && entry->Contains(component))
            entry->RunHandlers(component);
    return int(newlyKnown.size());
}

void TScrollComponentList::componentGone(QObject *component)
{
    for (const auto &entry : m_entries)
        entry->forget(component);
    m_known.remove(component);
}
